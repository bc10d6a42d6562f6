// Downloads that are stopped, cut off, stalled or cannot be written.
#include <atomic>
#include <thread>

#include "app/helpers.h"
#include "http_get_task_fixture.h"

namespace testsupport {
namespace {

bool ProgressReached(const Notification& notification, LPARAM bytes) {
    return notification.code == HTTPGET_PROGRESS && notification.value >= bytes;
}

TEST_F(HttpGetTaskTest, StopInTheMiddleKeepsThePartAndTheNextStartCompletesIt) {
    std::string content = MakeContent(3 * 1024 * 1024);
    auto shared = std::make_shared<const std::string>(content);
    std::atomic<bool> stallFirstAnswer{true};
    server.On("/big.bin", [&, shared](const HttpTestRequest& request) {
        HttpTestReply reply = HttpTestReply::File(request, shared);
        if (stallFirstAnswer.exchange(false)) {
            reply.stallAfter = 1024 * 1024;
            reply.stallMs = 30000;
        }
        return reply;
    });

    receiver.Clear();
    task.Start(WideDir().c_str(), server.WideUrl("/big.bin").c_str());
    ASSERT_TRUE(receiver.WaitFor(
        [](const Notification& n) { return ProgressReached(n, 1024 * 1024); }, kDeadlineMs))
        << "the first megabyte did not arrive";
    task.Stop();

    // Stopped cooperatively: the thread itself said so, and the ".part" holds what it received.
    ASSERT_TRUE(receiver.WaitFor(IsFinal, kDeadlineMs));
    Sequence stopped = Milestones();
    ASSERT_FALSE(stopped.empty());
    EXPECT_EQ((std::pair<WPARAM, LPARAM>{HTTPGET_STOPPED, 0}), stopped.back());
    EXPECT_EQ(-1, task.GetPercent());
    std::string part = ReadFile("big.bin.part");
    EXPECT_EQ(1024u * 1024u, part.size());
    EXPECT_EQ(content.substr(0, part.size()), part);

    EXPECT_EQ(ResumedAndFinished(1024 * 1024, 3 * 1024 * 1024), Download("/big.bin"));
    EXPECT_EQ("bytes=1048576-", server.RequestsFor("/big.bin").back().Header("Range"));
    EXPECT_EQ(content, ReadFile("big.bin"));
    EXPECT_EQ(MD5OfBuffer(content.data(), content.size()), task.GetMD5());
}

TEST_F(HttpGetTaskTest, DroppedConnectionIsIncompleteAndResumable) {
    std::string content = MakeContent(200000);
    auto shared = std::make_shared<const std::string>(content);
    std::atomic<bool> dropFirstAnswer{true};
    server.On("/a.bin", [&, shared](const HttpTestRequest& request) {
        HttpTestReply reply = HttpTestReply::File(request, shared);
        if (dropFirstAnswer.exchange(false)) {
            reply.dropAfter = 70000;
        }
        return reply;
    });

    EXPECT_EQ(AcceptedThenFailed(200000, HTTPGET_ERR_INCOMPLETE), Download("/a.bin"));
    EXPECT_EQ(content.substr(0, 70000), ReadFile("a.bin.part"));
    EXPECT_FALSE(Exists("a.bin"));

    EXPECT_EQ(HTTPGET_DONE, Download("/a.bin").back().first);
    EXPECT_EQ("bytes=70000-", server.RequestsFor("/a.bin").back().Header("Range"));
    EXPECT_EQ(content, ReadFile("a.bin"));
}

TEST_F(HttpGetTaskTest, StalledServerEndsTheAttemptAsIncomplete) {
    CHttpGetTask::SetStallTimeoutMs(300);
    std::string content = MakeContent(10000);
    ServeStalling("/slow.bin", content, 4000);

    EXPECT_EQ(AcceptedThenFailed(10000, HTTPGET_ERR_INCOMPLETE), Download("/slow.bin"));
    EXPECT_EQ(content.substr(0, 4000), ReadFile("slow.bin.part"));
}

TEST_F(HttpGetTaskTest, ServerSilentBeforeItsAnswerIsARequestError) {
    CHttpGetTask::SetStallTimeoutMs(300);
    server.On("/mute.bin", [](const HttpTestRequest&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        return HttpTestReply::Text(200, "late");
    });

    EXPECT_EQ(HTTPGET_ERR_REQUEST, Download("/mute.bin").back().first);
    EXPECT_FALSE(Exists("mute.bin.part"));
}

TEST_F(HttpGetTaskTest, PartThatCannotBeCreatedIsAFileError) {
    server.ServeFile("/a.bin", "content");
    std::wstring missingDir = WideDir() + L"no/such/folder/";

    receiver.Clear();
    task.Start(missingDir.c_str(), server.WideUrl("/a.bin").c_str());
    ASSERT_TRUE(receiver.WaitFor(IsFinal, kDeadlineMs));

    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_FILE, 0), Milestones());
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpGetTaskTest, PercentFollowsTheTransferOfAKnownSize) {
    EXPECT_EQ(-1, task.GetPercent());
    std::string content = MakeContent(2000);
    ServeStalling("/half.bin", content, 1000);

    receiver.Clear();
    task.Start(WideDir().c_str(), server.WideUrl("/half.bin").c_str());
    ASSERT_TRUE(receiver.WaitFor([](const Notification& n) { return ProgressReached(n, 1000); },
                                 kDeadlineMs));
    EXPECT_EQ(50, task.GetPercent());
    task.Stop();
    EXPECT_EQ(-1, task.GetPercent());
}

TEST_F(HttpGetTaskTest, PercentIsUnknownWithoutALength) {
    std::string content = MakeContent(2000);
    ServeStalling("/stream.bin", content, 1000, HttpTestReply::Framing::Close);

    receiver.Clear();
    task.Start(WideDir().c_str(), server.WideUrl("/stream.bin").c_str());
    ASSERT_TRUE(receiver.WaitFor([](const Notification& n) { return ProgressReached(n, 1000); },
                                 kDeadlineMs));
    EXPECT_EQ(-1, task.GetPercent());
}

TEST_F(HttpGetTaskTest, StartWhileRunningStopsTheFirstDownload) {
    std::string content = MakeContent(4000);
    ServeStalling("/first.bin", content, 1000);
    server.ServeFile("/second.bin", content);

    receiver.Clear();
    task.Start(WideDir().c_str(), server.WideUrl("/first.bin").c_str());
    ASSERT_TRUE(receiver.WaitFor([](const Notification& n) { return ProgressReached(n, 1000); },
                                 kDeadlineMs));
    receiver.Clear();
    task.Start(WideDir().c_str(), server.WideUrl("/second.bin").c_str());
    ASSERT_TRUE(receiver.WaitFor([](const Notification& n) { return n.code == HTTPGET_DONE; },
                                 kDeadlineMs));

    EXPECT_EQ((Sequence{{HTTPGET_STOPPED, 0},
                        {HTTPGET_BEGIN, 0},
                        {HTTPGET_CONNECTING, 0},
                        {HTTPGET_SIZE, 4000},
                        {HTTPGET_DONE, 0}}),
              Milestones());
    EXPECT_STREQ(L"second.bin", task.GetFileName());
    EXPECT_EQ(content, ReadFile("second.bin"));
    EXPECT_EQ(content.substr(0, 1000), ReadFile("first.bin.part"));
}

}  // namespace
}  // namespace testsupport
