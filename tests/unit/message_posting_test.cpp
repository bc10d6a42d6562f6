// Posting, sending and tasks across threads.
#include <atomic>
#include <chrono>
#include <thread>

#include "message_test_support.h"

using testsupport::LoopThread;
using testsupport::PumpUntil;
using testsupport::RecordingWnd;

namespace {

constexpr UINT WM_SEQ = WM_USER + 1;
constexpr UINT WM_ASK = WM_USER + 2;
constexpr UINT WM_NOTE = WM_USER + 3;

TEST(MessagePosting, PostsKeepTheirOrderPerSendingThread) {
    LoopThread loop;
    RecordingWnd wnd;
    loop.Run([&] { ASSERT_TRUE(wnd.Create()); });
    constexpr int kPerThread = 2000;

    auto poster = [&](LPARAM tag) {
        for (int i = 0; i < kPerThread; ++i) {
            ASSERT_TRUE(PostMessageW(wnd.m_hWnd, WM_SEQ, i, tag));
        }
    };
    std::thread first(poster, 1);
    std::thread second(poster, 2);
    first.join();
    second.join();
    ASSERT_TRUE(PumpUntil([&] { return wnd.Count(WM_SEQ) == 2 * kPerThread; }))
        << "only " << wnd.Count(WM_SEQ) << " posts arrived";

    std::vector<WPARAM> fromFirst, fromSecond;
    for (const auto& item : wnd.All()) {
        if (item.message == WM_SEQ) {
            EXPECT_EQ(loop.Id(), item.threadId);
            (item.lParam == 1 ? fromFirst : fromSecond).push_back(item.wParam);
        }
    }
    ASSERT_EQ(size_t(kPerThread), fromFirst.size());
    ASSERT_EQ(size_t(kPerThread), fromSecond.size());
    for (int i = 0; i < kPerThread; ++i) {
        ASSERT_EQ(WPARAM(i), fromFirst[i]) << "posts of one thread overtook each other";
        ASSERT_EQ(WPARAM(i), fromSecond[i]) << "posts of one thread overtook each other";
    }
}

TEST(MessagePosting, SendReturnsTheAnswerAndRunsOnTheOwner) {
    LoopThread loop;
    RecordingWnd wnd;
    loop.Run([&] { ASSERT_TRUE(wnd.Create()); });
    wnd.onMessage = [](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        return message == WM_ASK ? LRESULT(wParam * 10 + lParam) : 0;
    };
    EXPECT_EQ(LRESULT(123), SendMessageW(wnd.m_hWnd, WM_ASK, 12, 3));
    EXPECT_EQ(LRESULT(123), wnd.SendMessage(WM_ASK, 12, 3));
    // A thread with no queue of its own can send too.
    LRESULT fromPlainThread = 0;
    std::thread([&] { fromPlainThread = SendMessageW(wnd.m_hWnd, WM_ASK, 7, 7); }).join();
    EXPECT_EQ(LRESULT(77), fromPlainThread);
    auto received = wnd.All();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(loop.Id(), received.back().threadId);

    // On the owning thread a send is a direct call, even inside a handler of another message.
    LRESULT nested = 0;
    loop.Run([&] { nested = SendMessageW(wnd.m_hWnd, WM_ASK, 4, 2); });
    EXPECT_EQ(LRESULT(42), nested);
}

TEST(MessagePosting, AWaitingSenderHandlesSendsButNotPosts) {
    platform::EnsureMessageQueue();
    LoopThread loop;
    RecordingWnd here;  // owned by the test thread
    ASSERT_TRUE(here.Create());
    RecordingWnd there;
    loop.Run([&] { ASSERT_TRUE(there.Create()); });

    here.onMessage = [](UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        return message == WM_ASK ? LRESULT(wParam + 1) : 0;
    };
    // The far side posts back to us, then sends back to us (A -> B -> A) before answering.
    there.onMessage = [&](UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        if (message != WM_ASK) {
            return 0;
        }
        PostMessageW(here.m_hWnd, WM_NOTE, 0, 0);
        return SendMessageW(here.m_hWnd, WM_ASK, wParam * 2, 0);
    };
    EXPECT_EQ(LRESULT(11), SendMessageW(there.m_hWnd, WM_ASK, 5, 0));
    EXPECT_EQ(1u, here.Count(WM_ASK)) << "the nested send was not handled while waiting";
    EXPECT_EQ(0u, here.Count(WM_NOTE)) << "a posted message ran inside SendMessage";
    EXPECT_TRUE(PumpUntil([&] { return here.Count(WM_NOTE) == 1; }));
}

TEST(MessagePosting, TwoThreadsSendingToEachOtherDoNotDeadlock) {
    LoopThread left, right;
    RecordingWnd leftWnd, rightWnd;
    left.Run([&] { ASSERT_TRUE(leftWnd.Create()); });
    right.Run([&] { ASSERT_TRUE(rightWnd.Create()); });
    auto echo = [](UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        return message == WM_ASK ? LRESULT(wParam) : 0;
    };
    leftWnd.onMessage = echo;
    rightWnd.onMessage = echo;

    constexpr int kRounds = 300;
    std::atomic<int> leftSum{0}, rightSum{0};
    HANDLE leftDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE rightDone = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    platform::PostTask(left.Id(), [&] {
        for (int i = 1; i <= kRounds; ++i) {
            leftSum += int(SendMessageW(rightWnd.m_hWnd, WM_ASK, i, 0));
        }
        SetEvent(leftDone);
    });
    platform::PostTask(right.Id(), [&] {
        for (int i = 1; i <= kRounds; ++i) {
            rightSum += int(SendMessageW(leftWnd.m_hWnd, WM_ASK, i, 0));
        }
        SetEvent(rightDone);
    });
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(leftDone, testsupport::kDeadlineMs))
        << "threads sending to each other deadlocked";
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(rightDone, testsupport::kDeadlineMs))
        << "threads sending to each other deadlocked";
    EXPECT_EQ(kRounds * (kRounds + 1) / 2, leftSum.load());
    EXPECT_EQ(kRounds * (kRounds + 1) / 2, rightSum.load());
    CloseHandle(leftDone);
    CloseHandle(rightDone);
}

TEST(MessagePosting, SendTaskWaitsAndPostTaskQueues) {
    LoopThread loop;
    DWORD ranOn = 0;
    ASSERT_TRUE(platform::SendTask(loop.Id(), [&] { ranOn = GetCurrentThreadId(); }));
    EXPECT_EQ(loop.Id(), ranOn);

    bool direct = false;
    ASSERT_TRUE(platform::SendTask(GetCurrentThreadId(), [&] { direct = true; }));
    EXPECT_TRUE(direct) << "a send to the calling thread is a direct call";

    std::atomic<bool> posted{false};
    ASSERT_TRUE(platform::PostTask(loop.Id(), [&] { posted = true; }));
    EXPECT_TRUE(PumpUntil([&] { return posted.load(); }));

    constexpr DWORD kNoSuchThread = 0x7FFFFFF0;
    EXPECT_FALSE(platform::PostTask(kNoSuchThread, [] {}));
    EXPECT_FALSE(platform::SendTask(kNoSuchThread, [] {}));
    EXPECT_FALSE(PostThreadMessageW(kNoSuchThread, WM_SEQ, 0, 0));
}

TEST(MessagePosting, QuitEndsTheLoopWithItsCode) {
    static std::vector<WPARAM> handled;
    handled.clear();
    HANDLE thread = BeginThreadEx(
        [](void*) -> unsigned {
            platform::EnsureMessageQueue();
            platform::SetThreadMessageHandler(
                [](UINT message, WPARAM wParam, LPARAM) { handled.push_back(wParam); });
            // PostQuitMessage lets the queue drain first, even what comes after it; a WM_QUIT
            // posted as a thread message keeps its place.
            PostThreadMessageW(GetCurrentThreadId(), WM_SEQ, 1, 0);
            PostQuitMessage(42);
            PostThreadMessageW(GetCurrentThreadId(), WM_SEQ, 2, 0);
            const int first = platform::RunMessageLoop();
            PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, unsigned(first) + 1, 0);
            PostThreadMessageW(GetCurrentThreadId(), WM_SEQ, 3, 0);
            return unsigned(platform::RunMessageLoop());
        },
        nullptr, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, testsupport::kDeadlineMs));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(43u, code);
    EXPECT_EQ((std::vector<WPARAM>{1, 2}), handled);
    CloseHandle(thread);

    LoopThread loop;
    loop.Quit(7);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(loop.Handle(), testsupport::kDeadlineMs));
    ASSERT_TRUE(GetExitCodeThread(loop.Handle(), &code));
    EXPECT_EQ(7u, code);
    EXPECT_FALSE(PostThreadMessageW(loop.Id(), WM_SEQ, 0, 0)) << "an ended thread took a post";
}

TEST(MessagePosting, NestedLoopsKeepDeliveringAndQuitReachesTheOuterLoop) {
    LoopThread loop;
    RecordingWnd wnd;
    loop.Run([&] { ASSERT_TRUE(wnd.Create()); });
    std::atomic<bool> nestedSawLater{false};
    std::atomic<bool> nestedTimedOut{false};
    wnd.onMessage = [&](UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        if (message == WM_SEQ && wParam == 1) {
            // A modal loop inside a handler sees messages posted after the one it runs in.
            nestedSawLater = platform::PumpMessagesUntil([&] { return wnd.Count(WM_SEQ) >= 2; },
                                                         testsupport::kDeadlineMs);
            nestedTimedOut = !platform::PumpMessagesUntil([] { return false; }, 30);
        }
        return 0;
    };
    wnd.PostMessage(WM_SEQ, 1);
    wnd.PostMessage(WM_SEQ, 2);
    ASSERT_TRUE(PumpUntil([&] { return wnd.Count(WM_SEQ) == 2 && nestedTimedOut; }));
    EXPECT_TRUE(nestedSawLater);

    // WM_QUIT ends a nested loop and stays pending for the loop outside it.
    std::atomic<bool> nestedResult{true};
    wnd.onMessage = [&](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_SEQ) {
            PostQuitMessage(9);
            nestedResult = platform::PumpMessagesUntil([] { return false; });
        }
        return 0;
    };
    wnd.PostMessage(WM_SEQ, 3);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(loop.Handle(), testsupport::kDeadlineMs))
        << "WM_QUIT inside a nested loop did not end the thread's loop";
    DWORD code = 0;
    GetExitCodeThread(loop.Handle(), &code);
    EXPECT_EQ(9u, code);
    EXPECT_FALSE(nestedResult);
}

TEST(MessagePosting, AModalLoopSleepsUntilWhatItRunsChangesItsCondition) {
    LoopThread loop;
    RecordingWnd wnd;
    loop.Run([&] { ASSERT_TRUE(wnd.Create()); });
    std::atomic<int> checks{0};
    std::atomic<bool> answered{false};
    std::atomic<int> result{-1};
    wnd.onMessage = [&](UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        if (message == WM_SEQ && wParam == 1) {
            result = platform::RunModalLoop([&] {
                ++checks;
                return answered.load();
            })
                         ? 1
                         : 0;
        } else if (message == WM_SEQ && wParam == 2) {
            answered = true;
        }
        return 0;
    };
    wnd.PostMessage(WM_SEQ, 1);
    ASSERT_TRUE(PumpUntil([&] { return checks > 0; }));
    // Nothing reaches the loop meanwhile, so its condition is not looked at again.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_LE(checks.load(), 2);
    // A handler run by the loop ends it.
    wnd.PostMessage(WM_SEQ, 2);
    ASSERT_TRUE(PumpUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 1);

    // Changed on another thread, the condition is seen once a posted task wakes the loop.
    answered = false;
    result = -1;
    wnd.PostMessage(WM_SEQ, 1);
    ASSERT_TRUE(PumpUntil([&] { return checks > 2; }));
    answered = true;
    platform::PostTask(loop.Id(), [] {});
    ASSERT_TRUE(PumpUntil([&] { return result != -1; }));
    EXPECT_EQ(result, 1);

    // WM_QUIT ends it with false and still ends the thread's loop.
    answered = false;
    result = -1;
    wnd.onMessage = [&](UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_SEQ) {
            PostQuitMessage(4);
            result = platform::RunModalLoop([&] { return answered.load(); }) ? 1 : 0;
        }
        return 0;
    };
    wnd.PostMessage(WM_SEQ, 3);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(loop.Handle(), testsupport::kDeadlineMs));
    EXPECT_EQ(result, 0);
}

}  // namespace
