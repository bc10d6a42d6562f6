// Downloads against a real local server: what is posted, what lands on disk, what is asked.
#include <gmock/gmock.h>

#include "app/helpers.h"
#include "http_get_task_fixture.h"

namespace testsupport {
namespace {

std::wstring Md5Of(const std::string& content) {
    return MD5OfBuffer(content.data(), content.size());
}

TEST_F(HttpGetTaskTest, PlainDownloadReplacesTheFileAndReportsItsMd5) {
    std::string content = MakeContent(300000);
    server.ServeFile("/files/client.dll", content);
    WriteFile("client.dll", "an older file under the final name");

    Sequence posted = Download("/files/client.dll");

    EXPECT_EQ(Finished(300000), posted);
    std::vector<LPARAM> progress = ProgressValues();
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(300000, progress.back());
    EXPECT_EQ(content, ReadFile("client.dll"));
    EXPECT_FALSE(Exists("client.dll.part"));
    EXPECT_EQ(Md5Of(content), task.GetMD5());
    ASSERT_NE(nullptr, task.GetFileName());
    EXPECT_STREQ(L"client.dll", task.GetFileName());

    auto requests = server.RequestsFor("/files/client.dll");
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET", requests[0].method);
    EXPECT_EQ("*/*", requests[0].Header("Accept"));
    EXPECT_EQ("SongDeck test", requests[0].Header("User-Agent"));
    EXPECT_FALSE(requests[0].HasHeader("Range"));
}

TEST_F(HttpGetTaskTest, TheFileIsNamedByThePathsLastSegmentWithoutTheQuery) {
    server.ServeFile("/update.xml", "<updater/>");

    Download("/update.xml?id=A&ver=1/x");

    EXPECT_STREQ(L"update.xml", task.GetFileName());
    EXPECT_EQ("<updater/>", ReadFile("update.xml"));
    EXPECT_EQ("/update.xml?id=A&ver=1/x", server.Requests().at(0).target);
}

TEST_F(HttpGetTaskTest, UrlWithoutLastSegmentIsARequestErrorAndAsksNothing) {
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), Download("/files/"));
    EXPECT_EQ(nullptr, task.GetFileName());
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(std::filesystem::is_empty(PathOf("")));
}

TEST_F(HttpGetTaskTest, EmptyFileIsFinishedWithAnEmptyMd5) {
    server.ServeFile("/empty.txt", "");

    EXPECT_EQ(Finished(0), Download("/empty.txt"));
    EXPECT_TRUE(Exists("empty.txt"));
    EXPECT_EQ("", ReadFile("empty.txt"));
    EXPECT_EQ(L"", task.GetMD5());
}

TEST_F(HttpGetTaskTest, PartFileIsResumedWithARangeAndTheSizesAdd) {
    std::string content = MakeContent(1500);
    server.ServeFile("/a.bin", content);
    WriteFile("a.bin.part", content.substr(0, 1000));

    EXPECT_EQ(ResumedAndFinished(1000, 1500), Download("/a.bin"));
    EXPECT_EQ("bytes=1000-", server.RequestsFor("/a.bin").at(0).Header("Range"));
    EXPECT_EQ(1500, ProgressValues().back());
    EXPECT_EQ(content, ReadFile("a.bin"));
    EXPECT_EQ(Md5Of(content), task.GetMD5());
}

TEST_F(HttpGetTaskTest, RangeNotSatisfiableStartsAgainFromZero) {
    std::string content = MakeContent(1500);
    server.ServeFile("/a.bin", content);
    WriteFile("a.bin.part", MakeContent(2000, 99));

    EXPECT_EQ(ResumedAndFinished(2000, 1500), Download("/a.bin"));
    auto requests = server.RequestsFor("/a.bin");
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("bytes=2000-", requests[0].Header("Range"));
    EXPECT_FALSE(requests[1].HasHeader("Range"));
    EXPECT_EQ(content, ReadFile("a.bin"));
}

TEST_F(HttpGetTaskTest, ServerThatAlwaysRefusesTheRangeIsAnHttpErrorInTheEnd) {
    server.On("/a.bin", [](const HttpTestRequest&) { return HttpTestReply::Text(416, ""); });
    WriteFile("a.bin.part", "stale");

    Sequence posted = Download("/a.bin");

    EXPECT_EQ((std::pair<WPARAM, LPARAM>{HTTPGET_ERR_HTTP, 416}), posted.back());
    EXPECT_LE(server.RequestsFor("/a.bin").size(), 5u);
    EXPECT_FALSE(Exists("a.bin.part"));
}

TEST_F(HttpGetTaskTest, ResumeAnsweredWithoutLengthStartsAgainFromZero) {
    std::string content = MakeContent(1500);
    auto shared = std::make_shared<const std::string>(content);
    server.On("/a.bin", [shared](const HttpTestRequest& request) {
        HttpTestReply reply = HttpTestReply::File(request, shared);
        if (reply.status == 206) {
            reply.framing = HttpTestReply::Framing::Chunked;
        }
        return reply;
    });
    WriteFile("a.bin.part", content.substr(0, 1000));

    EXPECT_EQ(ResumedAndFinished(1000, 1500), Download("/a.bin"));
    auto requests = server.RequestsFor("/a.bin");
    ASSERT_EQ(2u, requests.size());
    EXPECT_FALSE(requests[1].HasHeader("Range"));
    EXPECT_EQ(content, ReadFile("a.bin"));
}

TEST_F(HttpGetTaskTest, HttpErrorRemovesOnlyAnEmptyPartFile) {
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_HTTP, 404), Download("/missing.bin"));
    EXPECT_FALSE(Exists("missing.bin.part"));

    WriteFile("missing.bin.part", "kept bytes");
    EXPECT_EQ((Sequence{{HTTPGET_BEGIN, 0},
                        {HTTPGET_CONNECTING, 0},
                        {HTTPGET_RESUME, 10},
                        {HTTPGET_ERR_HTTP, 404}}),
              Download("/missing.bin"));
    EXPECT_EQ("kept bytes", ReadFile("missing.bin.part"));

    server.On("/busy.bin", [](const HttpTestRequest&) { return HttpTestReply::Text(503, "x"); });
    EXPECT_EQ(HTTPGET_ERR_HTTP, Download("/busy.bin").back().first);
    EXPECT_EQ(503, Milestones().back().second);
}

TEST_F(HttpGetTaskTest, RedirectsAreFollowedToExactAndRelativeLocations) {
    std::string content = MakeContent(4000);
    server.ServeFile("/files/real.bin", content);
    server.On("/exact.bin", [this](const HttpTestRequest&) {
        return HttpTestReply::Redirect(302, server.Url("/files/real.bin"));
    });
    server.On("/files/sub/relative.bin",
              [](const HttpTestRequest&) { return HttpTestReply::Redirect(301, "../real.bin"); });

    // The name stays the one of the first URL; the second attempt finds the ".part" the first
    // one created and continues it from its size.
    EXPECT_EQ(ResumedAndFinished(0, 4000), Download("/exact.bin"));
    EXPECT_EQ(content, ReadFile("exact.bin"));
    EXPECT_EQ("bytes=0-", server.RequestsFor("/files/real.bin").at(0).Header("Range"));

    server.ClearRequests();
    EXPECT_EQ(HTTPGET_DONE, Download("/files/sub/relative.bin").back().first);
    EXPECT_EQ(content, ReadFile("relative.bin"));
    EXPECT_EQ(1u, server.RequestsFor("/files/real.bin").size());
}

TEST_F(HttpGetTaskTest, RedirectLoopEndsAsARequestError) {
    server.On("/loop.bin",
              [](const HttpTestRequest&) { return HttpTestReply::Redirect(302, "/loop.bin"); });

    Sequence posted = Download("/loop.bin");

    EXPECT_EQ(HTTPGET_ERR_REQUEST, posted.back().first);
    EXPECT_EQ(0, posted.back().second);
    EXPECT_LE(server.RequestsFor("/loop.bin").size(), 11u);
    EXPECT_GE(server.RequestsFor("/loop.bin").size(), 2u);
    EXPECT_FALSE(Exists("loop.bin.part"));
    EXPECT_FALSE(Exists("loop.bin"));
}

TEST_F(HttpGetTaskTest, BodyWithoutLengthEndsWithTheStream) {
    std::string content = MakeContent(200000);
    for (auto framing : {HttpTestReply::Framing::Close, HttpTestReply::Framing::Chunked}) {
        server.On("/stream.bin", [&](const HttpTestRequest&) {
            HttpTestReply reply = HttpTestReply::Text(200, content);
            reply.framing = framing;
            return reply;
        });
        std::filesystem::remove(PathOf("stream.bin"));

        EXPECT_EQ(Finished(0), Download("/stream.bin"));
        EXPECT_EQ(content, ReadFile("stream.bin"));
        EXPECT_EQ(200000, ProgressValues().back());
    }
}

TEST_F(HttpGetTaskTest, ChunkedBodyCutShortIsIncomplete) {
    std::string content = MakeContent(100000);
    server.On("/stream.bin", [&](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, content);
        reply.framing = HttpTestReply::Framing::Chunked;
        reply.dropAfter = 30000;
        return reply;
    });

    EXPECT_EQ(HTTPGET_ERR_INCOMPLETE, Download("/stream.bin").back().first);
    EXPECT_FALSE(Exists("stream.bin"));
    EXPECT_EQ(content.substr(0, 30000), ReadFile("stream.bin.part"));
}

TEST_F(HttpGetTaskTest, ServerIgnoringTheRangeGetsTheWholeFileWrittenFromTheStart) {
    std::string content = MakeContent(5000);
    auto shared = std::make_shared<const std::string>(content);
    server.On("/a.bin", [shared](const HttpTestRequest& request) {
        return HttpTestReply::File(request, shared, /*honourRange=*/false);
    });
    WriteFile("a.bin.part", content.substr(0, 1000));

    EXPECT_EQ(ResumedAndFinished(1000, 5000), Download("/a.bin"));
    EXPECT_EQ(content, ReadFile("a.bin"));
    EXPECT_EQ(Md5Of(content), task.GetMD5());
}

TEST_F(HttpGetTaskTest, PartialAnswerFromAnotherOffsetIsPlacedWhereItStarts) {
    std::string content = MakeContent(5000);
    auto shared = std::make_shared<const std::string>(content);
    // Answers every range from byte 600, as a server with a coarse cache might.
    server.On("/a.bin", [shared](const HttpTestRequest& request) {
        return request.HasHeader("Range") ? HttpTestReply::Partial(shared, 600)
                                          : HttpTestReply::File(request, shared);
    });
    WriteFile("a.bin.part", content.substr(0, 1000));

    EXPECT_EQ(ResumedAndFinished(1000, 5000), Download("/a.bin"));
    EXPECT_EQ(content, ReadFile("a.bin"));
}

TEST_F(HttpGetTaskTest, PartialAnswerBeyondThePartStartsAgainFromZero) {
    std::string content = MakeContent(5000);
    auto shared = std::make_shared<const std::string>(content);
    server.On("/a.bin", [shared](const HttpTestRequest& request) {
        return request.Header("Range") == "bytes=1000-" ? HttpTestReply::Partial(shared, 3000)
                                                        : HttpTestReply::File(request, shared);
    });
    WriteFile("a.bin.part", content.substr(0, 1000));

    Sequence posted = Download("/a.bin");

    EXPECT_EQ(HTTPGET_DONE, posted.back().first);
    EXPECT_EQ(content, ReadFile("a.bin"));
    EXPECT_EQ(Md5Of(content), task.GetMD5());
}

TEST_F(HttpGetTaskTest, BodyLongerThanItsLengthIsCutAtTheLength) {
    std::string content = MakeContent(3000);
    server.On("/a.bin", [&](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, content);
        reply.announcedLength = 2000;
        return reply;
    });

    EXPECT_EQ(Finished(2000), Download("/a.bin"));
    EXPECT_EQ(content.substr(0, 2000), ReadFile("a.bin"));
}

TEST_F(HttpGetTaskTest, UnreachableServerIsARequestErrorAndLeavesNoPart) {
    // A port that was just free: nothing listens there.
    uint16_t port;
    {
        TestHttpServer closed;
        port = closed.Port();
    }
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port) + L"/gone.bin";

    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), DownloadUrl(url));
    EXPECT_FALSE(Exists("gone.bin.part"));
}

TEST_F(HttpGetTaskTest, ProxyIsAskedWithTheCredentials) {
    std::string content = MakeContent(2000);
    // A proxy is asked for the absolute URL; this host is never resolved, the proxy answers.
    server.ServeFile("http://updates.example.invalid/files/a.bin", content);
    std::wstring proxy = L"127.0.0.1:" + std::to_wstring(server.Port());
    ASSERT_TRUE(task.Init(receiver.Window(), kMessageId, L"SongDeck test", proxy.c_str(), L"user",
                          L"secret"));

    EXPECT_EQ(HTTPGET_DONE,
              DownloadUrl(L"http://updates.example.invalid/files/a.bin").back().first);
    EXPECT_EQ(content, ReadFile("a.bin"));
    auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    // Basic base64("user:secret").
    EXPECT_EQ("Basic dXNlcjpzZWNyZXQ=", requests[0].Header("Proxy-Authorization"));
}

}  // namespace
}  // namespace testsupport
