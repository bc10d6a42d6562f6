// Timers tick as WM_TIMER (or call their procedure) on the thread that owns the window.
#include <atomic>

#include "message_test_support.h"

using testsupport::LoopThread;
using testsupport::PumpUntil;
using testsupport::RecordingWnd;

namespace {

size_t CountOf(RecordingWnd& wnd, WPARAM id) {
    size_t n = 0;
    for (WPARAM param : wnd.ParamsOf(WM_TIMER)) {
        n += param == id ? 1 : 0;
    }
    return n;
}

TEST(Timers, TickOnTheOwnerAndStopWhenKilled) {
    LoopThread loop;
    RecordingWnd wnd;
    loop.Run([&] { ASSERT_TRUE(wnd.Create()); });
    // Set from another thread: the timer still runs on the window's thread.
    ASSERT_NE(0u, wnd.SetTimer(1, 15));
    ASSERT_TRUE(PumpUntil([&] { return CountOf(wnd, 1) >= 3; })) << "timer 1 did not tick";
    for (const auto& item : wnd.All()) {
        if (item.message == WM_TIMER) {
            EXPECT_EQ(loop.Id(), item.threadId);
        }
    }

    ASSERT_TRUE(wnd.KillTimer(1));
    EXPECT_FALSE(wnd.KillTimer(1)) << "a killed timer can be killed only once";
    // Give a tick already dispatched on the loop a moment to land, then use a second timer as
    // the clock: after five of its ticks, timer 1 must not have moved.
    size_t afterKill = 0;
    loop.Run([&] { afterKill = CountOf(wnd, 1); });
    ASSERT_NE(0u, wnd.SetTimer(2, 15));
    ASSERT_TRUE(PumpUntil([&] { return CountOf(wnd, 2) >= 5; })) << "timer 2 did not tick";
    EXPECT_EQ(afterKill, CountOf(wnd, 1)) << "a killed timer went on ticking";

    // Destroying the window ends its timers.
    const HWND hwnd = wnd.m_hWnd;
    ASSERT_TRUE(wnd.DestroyWindow());
    EXPECT_FALSE(KillTimer(hwnd, 2));
    EXPECT_EQ(0u, SetTimer(hwnd, 3, 15, nullptr)) << "a timer on a destroyed window";
}

TEST(Timers, SettingAnExistingTimerRestartsIt) {
    LoopThread loop;
    RecordingWnd wnd;
    loop.Run([&] { ASSERT_TRUE(wnd.Create()); });
    std::atomic<DWORD> firstTick{0};
    wnd.onMessage = [&](UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        if (message == WM_TIMER && wParam == 5 && firstTick == 0) {
            firstTick = GetTickCount();
        }
        return 0;
    };
    DWORD resetAt = 0;
    loop.Run([&] {
        wnd.SetTimer(5, 300);
        // Each restart pushes the first tick back by a full period: after four restarts 50 ms
        // apart, a timer that kept its first start would tick before the last restart.
        for (int i = 0; i < 4; ++i) {
            PumpUntil([] { return false; }, 50);
            resetAt = GetTickCount();
            wnd.SetTimer(5, 300);
        }
    });
    ASSERT_TRUE(PumpUntil([&] { return firstTick != 0; })) << "restarted timer never ticked";
    EXPECT_GE(LONG(firstTick - resetAt), 290) << "the timer kept its first start";
}

std::atomic<int> g_procTicks{0};
std::atomic<HWND> g_procWindow{nullptr};
std::atomic<DWORD> g_procThread{0};

void CALLBACK OnProcTick(HWND hwnd, UINT message, UINT_PTR id, DWORD) {
    if (message == WM_TIMER && id == 7) {
        g_procWindow = hwnd;
        g_procThread = GetCurrentThreadId();
        ++g_procTicks;
    }
}

std::atomic<int> g_threadTicks{0};

void CALLBACK OnThreadTick(HWND hwnd, UINT, UINT_PTR, DWORD) {
    if (hwnd == nullptr) {
        ++g_threadTicks;
    }
}

TEST(Timers, ProcedureTimersAndThreadTimers) {
    g_procTicks = 0;
    g_procWindow = nullptr;
    g_procThread = 0;
    LoopThread loop;
    RecordingWnd wnd;
    loop.Run([&] { ASSERT_TRUE(wnd.Create()); });
    ASSERT_NE(0u, wnd.SetTimer(7, 15, &OnProcTick));
    ASSERT_TRUE(PumpUntil([] { return g_procTicks >= 2; }));
    EXPECT_EQ(wnd.m_hWnd, g_procWindow.load());
    EXPECT_EQ(loop.Id(), g_procThread.load());
    EXPECT_EQ(0u, CountOf(wnd, 7)) << "a procedure timer also reached the window";
    wnd.KillTimer(7);

    // Without a window the timer belongs to the calling thread and gets an id of its own.
    g_threadTicks = 0;
    UINT_PTR id = 0;
    loop.Run([&] { id = SetTimer(nullptr, 0, 15, &OnThreadTick); });
    ASSERT_NE(0u, id);
    ASSERT_TRUE(PumpUntil([] { return g_threadTicks >= 2; }));
    // A thread's timer is killed on that thread, as Windows asks.
    BOOL killed = FALSE;
    loop.Run([&] { killed = KillTimer(nullptr, id); });
    EXPECT_TRUE(killed);
}

}  // namespace
