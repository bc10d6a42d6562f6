#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "platform/thread.h"
#include "update/n_thread.h"

namespace {

class CountingThread : public utility::NThread {
public:
    unsigned Run() override {
        ranOn = GetCurrentThreadIdForTest();
        return 42;
    }
    static unsigned long GetCurrentThreadIdForTest() {
        return static_cast<unsigned long>(std::hash<std::thread::id>()(std::this_thread::get_id()));
    }
    std::atomic<unsigned long> ranOn{0};
    using NThread::m_nThreadId;
};

TEST(NThread, StartRunsTheBodyOnANewThreadWhoseResultIsTheExitCode) {
    CountingThread worker;
    EXPECT_EQ(worker.GetThreadHandle(), nullptr);
    worker.Start();
    ASSERT_NE(worker.GetThreadHandle(), nullptr);
    EXPECT_NE(worker.m_nThreadId, 0u);
    ASSERT_EQ(WaitForSingleObject(worker.GetThreadHandle(), 5000), WAIT_OBJECT_0)
        << "the worker did not end";
    DWORD exitCode = 0;
    ASSERT_TRUE(GetExitCodeThread(worker.GetThreadHandle(), &exitCode));
    EXPECT_EQ(exitCode, 42u);
    EXPECT_NE(worker.ranOn.load(), 0ul);
    EXPECT_NE(worker.ranOn.load(), CountingThread::GetCurrentThreadIdForTest());
}

}  // namespace
