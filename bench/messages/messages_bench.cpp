// Cost of the message layer's hand-offs between threads, against references measured in the
// same run: a bare mutex/condition-variable ping-pong for SendMessage round trips, and GLib's
// own cross-thread call (g_main_context_invoke) for posted messages.
#include <glib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/messages.h"
#include "platform/thread.h"
#include "platform/wnd.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

class CountingWnd : public CWnd {
public:
    std::atomic<long> posted{0};
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_USER) {
            return LRESULT(wParam + 1);
        }
        if (message == WM_USER + 1) {
            ++posted;
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
};

struct LoopThread {
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unsigned id = 0;
    HANDLE handle = BeginThreadEx(
        [](void* self) -> unsigned {
            platform::EnsureMessageQueue();
            SetEvent(static_cast<LoopThread*>(self)->ready);
            return unsigned(platform::RunMessageLoop());
        },
        this, &id);
    LoopThread() { WaitForSingleObject(ready, INFINITE); }
    ~LoopThread() {
        PostThreadMessageW(id, WM_QUIT, 0, 0);
        WaitForSingleObject(handle, INFINITE);
        CloseHandle(handle);
        CloseHandle(ready);
    }
};

double ReferencePingPong(int rounds) {
    std::mutex mutex;
    std::condition_variable changed;
    int turn = 0;  // even: the caller's turn, odd: the answerer's
    std::thread answerer([&] {
        for (int i = 0; i < rounds; ++i) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return turn % 2 == 1; });
            ++turn;
            changed.notify_all();
        }
    });
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        std::unique_lock lock(mutex);
        ++turn;
        changed.notify_all();
        changed.wait(lock, [&] { return turn % 2 == 0; });
    }
    const double seconds = Seconds(start);
    answerer.join();
    return seconds;
}

double SendRoundTrips(CountingWnd& wnd, int rounds) {
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i) {
        SendMessageW(wnd.m_hWnd, WM_USER, WPARAM(i), 0);
    }
    return Seconds(start);
}

double ReferenceInvoke(GMainContext* context, int count) {
    std::atomic<long> done{0};
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        g_main_context_invoke_full(
            context, G_PRIORITY_DEFAULT,
            [](gpointer data) {
                ++*static_cast<std::atomic<long>*>(data);
                return gboolean(G_SOURCE_REMOVE);
            },
            &done, nullptr);
    }
    while (done < count) {
        std::this_thread::yield();
    }
    return Seconds(start);
}

double PostThroughput(CountingWnd& wnd, int count) {
    wnd.posted = 0;
    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        PostMessageW(wnd.m_hWnd, WM_USER + 1, 0, 0);
    }
    while (wnd.posted < count) {
        std::this_thread::yield();
    }
    return Seconds(start);
}

}  // namespace

int main() {
    constexpr int kRounds = 20000;
    LoopThread loop;
    CountingWnd wnd;
    platform::SendTask(loop.id, [&] { wnd.CreateEx(0, L"", L"bench", 0, RECT{}, nullptr, 0); });

    // GLib's own call into the loop thread's context, as the reference for posts.
    GMainContext* context = nullptr;
    platform::SendTask(loop.id, [&] { context = g_main_context_ref_thread_default(); });

    SendRoundTrips(wnd, 1000);  // warm-up
    const double reference = ReferencePingPong(kRounds);
    const double send = SendRoundTrips(wnd, kRounds);
    std::printf(
        "SendMessage across threads: %.2f us per round trip, %.2fx a bare condvar "
        "ping-pong (%.2f us)\n",
        send / kRounds * 1e6, send / reference, reference / kRounds * 1e6);

    const double invoke = ReferenceInvoke(context, kRounds * 5);
    const double post = PostThroughput(wnd, kRounds * 5);
    std::printf(
        "PostMessage to a loop thread: %.2f us per message, %.2fx g_main_context_invoke "
        "(%.2f us)\n",
        post / (kRounds * 5) * 1e6, post / invoke, invoke / (kRounds * 5) * 1e6);
    g_main_context_unref(context);
    platform::SendTask(loop.id, [&] { wnd.DestroyWindow(); });
    return 0;
}
