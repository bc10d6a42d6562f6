// Message-only windows: creation, destruction, handles.
#include "message_test_support.h"

using testsupport::LoopThread;
using testsupport::PumpUntil;
using testsupport::RecordingWnd;

namespace {

constexpr UINT WM_PING = WM_USER + 10;

std::vector<UINT> Messages(RecordingWnd& wnd) {
    std::vector<UINT> messages;
    for (const auto& item : wnd.All()) {
        messages.push_back(item.message);
    }
    return messages;
}

TEST(WindowLifecycle, CreateAndDestroySendTheirMessagesInOrder) {
    platform::EnsureMessageQueue();
    RecordingWnd wnd;
    bool invalidInPostNcDestroy = false;
    wnd.onPostNcDestroy = [&] { invalidInPostNcDestroy = wnd.m_hWnd == nullptr; };
    ASSERT_TRUE(wnd.Create());
    const HWND hwnd = wnd.m_hWnd;
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_EQ(&wnd, CWnd::FromHandle(hwnd));
    EXPECT_EQ(GetCurrentThreadId(), GetWindowThreadProcessId(hwnd, nullptr));
    EXPECT_EQ(L"recorder", wnd.GetWindowText());

    ASSERT_TRUE(wnd.DestroyWindow());
    EXPECT_EQ((std::vector<UINT>{WM_CREATE, WM_SIZE, WM_DESTROY, WM_NCDESTROY}), Messages(wnd));
    EXPECT_TRUE(invalidInPostNcDestroy);
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(nullptr, CWnd::FromHandle(hwnd));
    EXPECT_FALSE(wnd.DestroyWindow()) << "destroyed twice";
}

TEST(WindowLifecycle, CreateFailsWhenWmCreateAnswersMinusOne) {
    platform::EnsureMessageQueue();
    RecordingWnd wnd;
    int postNcDestroys = 0;
    wnd.onPostNcDestroy = [&] { ++postNcDestroys; };
    wnd.onMessage = [](UINT message, WPARAM, LPARAM) -> LRESULT {
        return message == WM_CREATE ? -1 : 0;
    };
    EXPECT_FALSE(wnd.Create());
    EXPECT_EQ(nullptr, wnd.m_hWnd);
    EXPECT_EQ((std::vector<UINT>{WM_CREATE, WM_DESTROY, WM_NCDESTROY}), Messages(wnd));
    EXPECT_EQ(1, postNcDestroys);

    // The same object can make a window again afterwards.
    wnd.onMessage = nullptr;
    EXPECT_TRUE(wnd.Create());
}

TEST(WindowLifecycle, CloseDestroysByDefaultAndTheDestructorDestroys) {
    platform::EnsureMessageQueue();
    RecordingWnd closing;
    ASSERT_TRUE(closing.Create());
    closing.SendMessage(WM_CLOSE);
    EXPECT_EQ(nullptr, closing.m_hWnd);

    // The destructor takes the window down; a message queued for it meets no object.
    HWND hwnd = nullptr;
    {
        RecordingWnd wnd;
        ASSERT_TRUE(wnd.Create());
        hwnd = wnd.m_hWnd;
        ASSERT_TRUE(wnd.PostMessage(WM_PING));
    }
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(nullptr, CWnd::FromHandle(hwnd));
    RecordingWnd marker;
    ASSERT_TRUE(marker.Create());
    ASSERT_TRUE(marker.PostMessage(WM_PING));
    EXPECT_TRUE(PumpUntil([&] { return marker.Count(WM_PING) == 1; }));
}

TEST(WindowLifecycle, ASelfDeletingWindowFreesItselfLast) {
    LoopThread loop;
    struct SelfDeleting : RecordingWnd {
        bool* deleted;
        ~SelfDeleting() override { *deleted = true; }
        void PostNcDestroy() override { delete this; }
    };
    bool deleted = false;
    HWND hwnd = nullptr;
    loop.Run([&] {
        auto* wnd = new SelfDeleting;
        wnd->deleted = &deleted;
        ASSERT_TRUE(wnd->Create());
        hwnd = wnd->m_hWnd;
    });
    ASSERT_TRUE(PostMessageW(hwnd, WM_CLOSE, 0, 0));
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }));
    loop.Run([] {});  // the destruction has finished on the loop thread
    EXPECT_TRUE(deleted);
}

TEST(WindowLifecycle, PostsToADestroyedWindowAreDropped) {
    LoopThread loop;
    RecordingWnd wnd;
    loop.Run([&] { ASSERT_TRUE(wnd.Create()); });
    const HWND old = wnd.m_hWnd;
    // Queued first, but the window is gone before the loop reaches them.
    loop.Run([&] {
        ASSERT_TRUE(PostMessageW(old, WM_PING, 1, 0));
        ASSERT_TRUE(PostMessageW(old, WM_PING, 2, 0));
        ASSERT_TRUE(wnd.DestroyWindow());
    });
    EXPECT_FALSE(PostMessageW(old, WM_PING, 3, 0));
    EXPECT_EQ(0, SendMessageW(old, WM_PING, 4, 0));

    // A new window never gets the old handle, and the stale one does not reach it.
    RecordingWnd fresh;
    loop.Run([&] { ASSERT_TRUE(fresh.Create()); });
    EXPECT_NE(old, fresh.m_hWnd);
    EXPECT_FALSE(PostMessageW(old, WM_PING, 5, 0));
    ASSERT_TRUE(fresh.PostMessage(WM_PING, 6));
    ASSERT_TRUE(PumpUntil([&] { return fresh.Count(WM_PING) == 1; }));
    loop.Run([] {});
    EXPECT_EQ(0u, wnd.Count(WM_PING)) << "a message reached a destroyed window";
    EXPECT_EQ(std::vector<WPARAM>{6}, fresh.ParamsOf(WM_PING));
}

TEST(WindowLifecycle, WindowsEndWithTheirThread) {
    auto loop = std::make_unique<LoopThread>();
    RecordingWnd wnd;
    loop->Run([&] { ASSERT_TRUE(wnd.Create()); });
    const HWND hwnd = wnd.m_hWnd;
    loop.reset();
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(PostMessageW(hwnd, WM_PING, 0, 0));
    EXPECT_FALSE(wnd.DestroyWindow()) << "only the object was left";
    EXPECT_EQ(nullptr, wnd.m_hWnd);
}

}  // namespace
