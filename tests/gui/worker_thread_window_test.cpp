// Windows owned by a worker thread with its own loop, and message boxes from such a thread.
#include <atomic>

#include "platform/ui.h"
#include "window_test_support.h"

using guitest::kWaitMs;
using testsupport::LoopThread;
using testsupport::RecordingWnd;

namespace {

constexpr DWORD kMainStyle = 0x86CAC000;

bool HasMessageBox(const std::wstring& caption, std::wstring* text = nullptr) {
    for (const auto& box : platform::testing::ListMessageBoxes()) {
        if (box.caption == caption) {
            if (text != nullptr) {
                *text = box.text;
            }
            return true;
        }
    }
    return false;
}

TEST(WorkerThreadWindow, WidgetEventsReachTheOwningThread) {
    LoopThread worker;
    RecordingWnd wnd;
    // Created on the worker, while this (the UI) thread waits for it: the widget itself is
    // made here, inside that wait.
    worker.Run([&] {
        // A sizing border, so that the user may resize the window.
        ASSERT_TRUE(wnd.CreateEx(0, L"", L"Worker window", kMainStyle | WS_THICKFRAME,
                                 {200, 150, 500, 400}, nullptr, 0));
        wnd.ShowWindow(SW_SHOW);
    });
    ASSERT_NE(nullptr, wnd.m_hWnd);
    EXPECT_EQ(worker.Id(), GetWindowThreadProcessId(wnd.m_hWnd, nullptr));
    ASSERT_TRUE(PumpUntil([&] { return wnd.Count(WM_SHOWWINDOW) == 1; }, kWaitMs));

    bool ok = false;
    RunCommand("xdotool windowsize " + std::to_string(guitest::XidOf(wnd.m_hWnd)) + " 333 222",
               &ok);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (const auto& item : wnd.All()) {
                if (item.message == WM_SIZE && item.lParam == MAKELPARAM(333, 222)) {
                    return true;
                }
            }
            return false;
        },
        kWaitMs))
        << "WM_SIZE for the resize did not arrive";

    wnd.PostMessage(WM_CLOSE);  // default handling destroys, on the worker
    ASSERT_TRUE(PumpUntil([&] { return wnd.Count(WM_NCDESTROY) == 1; }, kWaitMs));
    for (const auto& item : wnd.All()) {
        EXPECT_EQ(worker.Id(), item.threadId) << "message " << item.message << " ran elsewhere";
    }
    EXPECT_EQ(nullptr, platform::gtk::GetWindowWidget(wnd.m_hWnd));
}

TEST(WorkerThreadWindow, MessageBoxFromAWorkerKeepsItsTimersTicking) {
    LoopThread worker;
    RecordingWnd clock;
    worker.Run([&] { ASSERT_TRUE(clock.Create()); });
    std::atomic<int> answer{-1};
    const std::wstring caption = L"\u9000\u51fa\u8be2\u95ee";
    for (int pressed : {IDYES, IDNO}) {
        answer = -1;
        platform::PostTask(worker.Id(), [&] {
            clock.SetTimer(1, 20);
            answer =
                MessageBoxW(nullptr, L"Really quit?", caption.c_str(), MB_YESNO | MB_ICONQUESTION);
            clock.KillTimer(1);
        });
        std::wstring text;
        ASSERT_TRUE(PumpUntil([&] { return HasMessageBox(caption, &text); }, kWaitMs))
            << "the message box did not open";
        EXPECT_EQ(L"Really quit?", text);
        const size_t ticksAtOpen = clock.Count(WM_TIMER);
        ASSERT_TRUE(PumpUntil([&] { return clock.Count(WM_TIMER) >= ticksAtOpen + 3; }, kWaitMs))
            << "the worker's timer stopped while its message box was open";
        EXPECT_EQ(-1, answer.load());
        EXPECT_FALSE(platform::testing::PressMessageBoxButton(caption, IDCANCEL))
            << "a Yes/No box has no Cancel button";
        ASSERT_TRUE(platform::testing::PressMessageBoxButton(caption, pressed));
        ASSERT_TRUE(PumpUntil([&] { return answer != -1; }, kWaitMs));
        EXPECT_EQ(pressed, answer.load());
        EXPECT_TRUE(PumpUntil([&] { return !HasMessageBox(caption); }, kWaitMs));
    }
}

TEST(WorkerThreadWindow, MessageBoxOnTheUiThreadRunsANestedLoop) {
    RecordingWnd owner;
    ASSERT_TRUE(owner.CreateEx(0, L"", L"Owner", kMainStyle | WS_VISIBLE, {100, 100, 400, 300},
                               nullptr, 0));
    owner.PostMessage(WM_USER + 5);
    // Runs inside the box's loop: waits for the box, then answers it.
    std::atomic<bool> pressed{false};
    platform::PostTask(GetCurrentThreadId(), [&] {
        PumpUntil([] { return HasMessageBox(L"Quorvi"); }, kWaitMs);
        pressed = platform::testing::PressMessageBoxButton(L"Quorvi", IDCANCEL);
    });
    const int answer =
        MessageBoxW(owner.m_hWnd, L"hotkey", L"Quorvi", MB_OKCANCEL | MB_ICONWARNING);
    EXPECT_TRUE(pressed);
    EXPECT_EQ(IDCANCEL, answer);
    EXPECT_EQ(1u, owner.Count(WM_USER + 5)) << "posted messages stopped during the box";
}

}  // namespace
