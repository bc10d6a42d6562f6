// Threads, waits and events.
#include <atomic>

#include "message_test_support.h"

namespace {

using testsupport::kDeadlineMs;

TEST(ThreadHandles, WaitReturnsTheExitCodeOrTimesOut) {
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unsigned id = 0;
    HANDLE thread = BeginThreadEx(
        [](void* gate) -> unsigned {
            WaitForSingleObject(static_cast<HANDLE>(gate), INFINITE);
            return 7;
        },
        gate, &id);
    ASSERT_NE(nullptr, thread);
    EXPECT_NE(0u, id);
    EXPECT_NE(GetCurrentThreadId(), id);
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(thread, 30));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(STILL_ACTIVE, code);
    SetEvent(gate);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, kDeadlineMs));
    ASSERT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(7u, code);
    EXPECT_TRUE(CloseHandle(thread));
    CloseHandle(gate);

    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(nullptr, 0));
    EXPECT_EQ(nullptr, BeginThreadEx(nullptr, nullptr, nullptr));
}

TEST(ThreadHandles, ClosingARunningThreadDetachesIt) {
    struct Shared {
        HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    };
    static Shared shared;  // outlives the detached thread
    HANDLE thread = BeginThreadEx(
        [](void*) -> unsigned {
            WaitForSingleObject(shared.gate, INFINITE);
            SetEvent(shared.finished);
            return 0;
        },
        nullptr, nullptr);
    ASSERT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(thread, 20));
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(shared.gate);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(shared.finished, kDeadlineMs))
        << "a detached thread did not go on";
}

TEST(ThreadHandles, EventsResetAsAskedAndThreadIdsAreDistinct) {
    HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual, 0));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(manual, 0)) << "manual event reset by a wait";
    ResetEvent(manual);
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(manual, 0));

    HANDLE automatic = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> passed{0};
    auto waiter = [](void* arg) -> unsigned {
        auto* pair = static_cast<std::pair<HANDLE, std::atomic<int>*>*>(arg);
        if (WaitForSingleObject(pair->first, kDeadlineMs) == WAIT_OBJECT_0) {
            ++*pair->second;
        }
        return 0;
    };
    std::pair<HANDLE, std::atomic<int>*> arg{automatic, &passed};
    unsigned firstId = 0, secondId = 0;
    HANDLE first = BeginThreadEx(waiter, &arg, &firstId);
    HANDLE second = BeginThreadEx(waiter, &arg, &secondId);
    EXPECT_NE(firstId, secondId);
    SetEvent(automatic);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return passed == 1; }));
    // One set lets one waiter through; the other goes on waiting until the next set.
    const int ended = (WaitForSingleObject(first, 200) == WAIT_OBJECT_0 ? 1 : 0) +
                      (WaitForSingleObject(second, 200) == WAIT_OBJECT_0 ? 1 : 0);
    EXPECT_EQ(1, ended);
    SetEvent(automatic);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(first, kDeadlineMs));
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(second, kDeadlineMs));
    EXPECT_EQ(2, passed.load());
    for (HANDLE h : {manual, automatic, first, second}) {
        CloseHandle(h);
    }
}

}  // namespace
