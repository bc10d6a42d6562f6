// Downloads from a server that works against the client: codings that would inflate, lengths
// that do not fit, drips that never stall, misplaced ranges and redirects that lose TLS.
#include <chrono>

#include "app/helpers.h"
#include "http_get_task_fixture.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

bool Requested(const TestHttpServer& server, const std::string& path) {
    return !server.RequestsFor(path).empty();
}

class HostileServerTest : public HttpGetTaskTest {
protected:
    void TearDown() override {
        CHttpGetTask::SetMinimumSpeed(1024, 30000);
        HttpGetTaskTest::TearDown();
    }
};

TEST_F(HostileServerTest, OnlyChunkedTransferCodingIsTakenAndItsLengthHeaderIsIgnored) {
    const std::string content = MakeContent(20000);
    server.On("/gzip.bin", [content](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, content);
        reply.framing = HttpTestReply::Framing::Chunked;
        reply.transferCoding = "gzip, chunked";
        return reply;
    });
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), Download("/gzip.bin"));
    EXPECT_FALSE(Exists("gzip.bin"));
    EXPECT_FALSE(Exists("gzip.bin.part"));

    // A Content-Length beside chunked framing would cut the file if it were believed.
    server.On("/both.bin", [content](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, content);
        reply.framing = HttpTestReply::Framing::Chunked;
        reply.headers.emplace_back("Content-Length", "100");
        return reply;
    });
    EXPECT_EQ(Finished(0), Download("/both.bin"));
    EXPECT_EQ(content, ReadFile("both.bin"));
}

TEST_F(HostileServerTest, LengthsPast32BitsAreNeverReportedAsAFinishedFile) {
    // 2^32 + 100 announced, 100 bytes sent: cut to 32 bits the two would agree.
    server.On("/huge.bin", [](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, std::string(100, 'h'));
        reply.announcedLength = (uint64_t{1} << 32) + 100;
        reply.dropAfter = 100;
        return reply;
    });
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_FILE, 0), Download("/huge.bin"));
    EXPECT_FALSE(Exists("huge.bin"));
    EXPECT_FALSE(Exists("huge.bin.part"));

    // Past the cap's reach the transfer is simply incomplete, never done.
    task.SetMaxBytes(uint64_t{1} << 41);
    EXPECT_EQ(AcceptedThenFailed(100, HTTPGET_ERR_INCOMPLETE), Download("/huge.bin"));
    EXPECT_FALSE(Exists("huge.bin"));
}

TEST_F(HostileServerTest, BytesPastTheCapEndTheDownloadAndDeleteThePart) {
    const std::string content = MakeContent(300000);
    server.On("/stream.bin", [content](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, content);
        reply.framing = HttpTestReply::Framing::Close;
        return reply;
    });
    server.ServeFile("/sized.bin", content);
    task.SetMaxBytes(100000);

    EXPECT_EQ(AcceptedThenFailed(0, HTTPGET_ERR_FILE), Download("/stream.bin"));
    for (LPARAM value : ProgressValues()) {
        EXPECT_LE(value, 100000);
    }
    EXPECT_FALSE(Exists("stream.bin.part"));
    EXPECT_FALSE(Exists("stream.bin"));

    // An announced length past the cap is refused before any byte is written.
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_FILE, 0), Download("/sized.bin"));
    EXPECT_FALSE(Exists("sized.bin.part"));
}

TEST_F(HostileServerTest, APartialAnswerWithoutAUsableRangeStartsAgainFromZero) {
    const std::string content = MakeContent(5000);
    auto shared = std::make_shared<const std::string>(content);
    for (const char* range : {"", "bytes */5000"}) {
        server.On("/a.bin", [shared, range](const HttpTestRequest& request) {
            if (!request.HasHeader("Range")) {
                return HttpTestReply::File(request, shared);
            }
            // The whole file as a 206, placed nowhere.
            HttpTestReply reply = HttpTestReply::Text(206, *shared);
            if (*range != '\0') {
                reply.headers.emplace_back("Content-Range", range);
            }
            return reply;
        });
        WriteFile("a.bin.part", content.substr(0, 1000));

        Sequence posted = Download("/a.bin");

        EXPECT_EQ(HTTPGET_DONE, posted.back().first) << range;
        EXPECT_EQ(content, ReadFile("a.bin")) << range;
        EXPECT_EQ(MD5OfBuffer(content.data(), content.size()), task.GetMD5()) << range;
        server.ClearRequests();
    }
}

TEST_F(HostileServerTest, ADripOfBytesOrHeaderLinesEndsAtTheMinimumSpeed) {
    CHttpGetTask::SetMinimumSpeed(5000, 500);
    server.On("/drip.bin", [](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, std::string(100000, 'd'));
        reply.dripBytes = 10;
        reply.dripMs = 50;
        return reply;
    });
    server.On("/head.bin", [](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, "never");
        reply.headerDripMs = 50;
        return reply;
    });

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(AcceptedThenFailed(100000, HTTPGET_ERR_INCOMPLETE), Download("/drip.bin"));
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), Download("/head.bin"));
    // Well before the stall bound (60 s), which a drip never reaches.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_FALSE(Exists("drip.bin"));
    EXPECT_FALSE(Exists("head.bin.part"));
}

TEST_F(HostileServerTest, NamesThatCannotBeStoredAreRefusedBeforeAnyRequest) {
    const std::string longName(260, 'n');
    server.ServeFile("/" + longName, "content");
    server.ServeFile("/dir/..", "content");

    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_FILE, 0), Download("/" + longName));
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), Download("/dir/.."));
    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), Download("/dir/."));
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HostileServerTest, ASpaceInTheLinkIsSentPercentEncoded) {
    server.ServeFile("/with%20space.bin", "spaced");

    EXPECT_EQ(Finished(6), DownloadUrl(server.WideUrl("/with space.bin")));
    EXPECT_EQ("spaced", ReadFile("with space.bin"));
    EXPECT_TRUE(Requested(server, "/with%20space.bin"));
}

class HttpsDowngradeTest : public HttpGetTaskTest {
protected:
    void TearDown() override {
        CHttpGetTask::SetCertificateAuthorities(L"");
        HttpGetTaskTest::TearDown();
    }
    TestHttpServer secure{/*tls=*/true};
};

TEST_F(HttpsDowngradeTest, ARedirectFromHttpsToHttpIsRefused) {
    CHttpGetTask::SetCertificateAuthorities(Utf8ToWide(secure.CertificatePath()));
    server.ServeFile("/a.bin", "plain");
    secure.ServeFile("/b.bin", "secure");
    secure.On("/down.bin", [this](const HttpTestRequest&) {
        return HttpTestReply::Redirect(302, server.Url("/a.bin"));
    });
    secure.On("/across.bin",
              [this](const HttpTestRequest&) { return HttpTestReply::Redirect(302, "/b.bin"); });

    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), DownloadUrl(secure.WideUrl("/down.bin")));
    // Refused at the redirect, not at the handshake.
    EXPECT_EQ(1u, secure.RequestsFor("/down.bin").size());
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_FALSE(Exists("down.bin"));
    EXPECT_FALSE(Exists("down.bin.part"));

    // https to https is followed as before.
    EXPECT_EQ(HTTPGET_DONE, DownloadUrl(secure.WideUrl("/across.bin")).back().first);
    EXPECT_EQ("secure", ReadFile("across.bin"));
}

TEST_F(HttpsDowngradeTest, AServerThatIsNotTrustedIsNeverAsked) {
    secure.ServeFile("/b.bin", "secure");
    secure.Distrust();

    EXPECT_EQ(FailedAtOnce(HTTPGET_ERR_REQUEST, 0), DownloadUrl(secure.WideUrl("/b.bin")));
    EXPECT_TRUE(secure.Requests().empty());
    EXPECT_FALSE(Exists("b.bin"));
    EXPECT_FALSE(Exists("b.bin.part"));
}

}  // namespace
}  // namespace testsupport
