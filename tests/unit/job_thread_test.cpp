// Worker threads that share their job with the owner who starts them.
#include <atomic>
#include <memory>

#include "message_test_support.h"

namespace {

using testsupport::kDeadlineMs;

// A job that waits for its gate, tells where it ran and when it is gone.
struct GatedJob {
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE released;
    std::atomic<DWORD> ranOn{0};

    explicit GatedJob(HANDLE releasedEvent) : released(releasedEvent) {}
    ~GatedJob() {
        CloseHandle(gate);
        SetEvent(released);
    }
    unsigned Run() {
        WaitForSingleObject(gate, kDeadlineMs);
        ranOn.store(GetCurrentThreadId());
        return 42;
    }
    void RunQuietly() { Run(); }
};

TEST(JobThread, AWorkerLeftByItsOwnerKeepsItsJobUntilItEnds) {
    HANDLE released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto job = std::make_shared<GatedJob>(released);
    std::weak_ptr<GatedJob> watch = job;
    HANDLE gate = job->gate;
    unsigned id = 0;
    HANDLE thread = BeginJobThread(job, &GatedJob::Run, &id);
    ASSERT_NE(nullptr, thread);
    EXPECT_NE(0u, id);

    // The owner gives up: drops its reference and detaches the thread, as Stop does.
    job.reset();
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(thread, 20));
    EXPECT_TRUE(CloseHandle(thread));
    EXPECT_FALSE(watch.expired()) << "the running worker lost its job";
    EXPECT_EQ(DWORD(WAIT_TIMEOUT), WaitForSingleObject(released, 0));

    SetEvent(gate);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(released, kDeadlineMs))
        << "the job was not released when its thread ended";
    EXPECT_TRUE(watch.expired());
    CloseHandle(released);
}

TEST(JobThread, TheExitCodeIsWhatTheJobReturns) {
    HANDLE released = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto job = std::make_shared<GatedJob>(released);
    SetEvent(job->gate);
    unsigned id = 0;
    HANDLE counted = BeginJobThread(job, &GatedJob::Run, &id);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(counted, kDeadlineMs));
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(counted, &code));
    EXPECT_EQ(42u, code);
    EXPECT_EQ(DWORD(id), job->ranOn.load()) << "the job did not run on the thread started";
    CloseHandle(counted);

    HANDLE quiet = BeginJobThread(job, &GatedJob::RunQuietly, nullptr);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(quiet, kDeadlineMs));
    ASSERT_TRUE(GetExitCodeThread(quiet, &code));
    EXPECT_EQ(0u, code);
    CloseHandle(quiet);
    job.reset();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(released, kDeadlineMs));
    CloseHandle(released);
}

TEST(JobThread, NothingStartsWithoutAJobOrATask) {
    unsigned id = 7;
    EXPECT_EQ(nullptr, BeginJobThread(std::shared_ptr<GatedJob>(), &GatedJob::Run, &id));
    EXPECT_EQ(nullptr, BeginThreadTask(std::function<unsigned()>(), &id));
    EXPECT_EQ(7u, id);
}

}  // namespace
