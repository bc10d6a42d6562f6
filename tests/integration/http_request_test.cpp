// The HTTP transfer facility of each platform against a real server on 127.0.0.1: what reaches
// the caller of one GET, whatever the library underneath lets through.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/http_head_fields.h"
#include "platform/http_request.h"
#include "support/test_http_server.h"

namespace testsupport {
namespace {

struct Outcome {
    HttpRequestResult result = HttpRequestResult::Failed;
    HttpResponseHead head;
    std::string body;
};

Outcome Fetch(const std::string& url, const std::atomic<int>& keepGoing,
              const HttpTransferLimits& limits = {}) {
    CHttpRequest request(HttpRequestSettings{"SongDeck probe", "", true, {}, {}, ""});
    Outcome outcome;
    outcome.result = request.Get(
        url, {"Accept: */*"}, keepGoing, limits,
        [&outcome](const HttpResponseHead& head) {
            outcome.head = head;
            return true;
        },
        [&outcome](const char* data, size_t size) {
            outcome.body.append(data, size);
            return true;
        });
    return outcome;
}

TEST(HttpRequest, RedirectsReachTheCallerAndCutBodiesFailByTheirPromisedLength) {
    TestHttpServer server;
    std::atomic<int> keepGoing{1};
    server.On("/moved", [](const HttpTestRequest&) {
        return HttpTestReply::Redirect(302, "http://127.0.0.1:1/elsewhere");
    });
    Outcome moved = Fetch(server.Url("/moved"), keepGoing);
    EXPECT_EQ(HttpRequestResult::Completed, moved.result);
    EXPECT_EQ(302, moved.head.status);
    EXPECT_EQ("http://127.0.0.1:1/elsewhere", moved.head.location.value_or(""));
    ASSERT_EQ(1u, server.Requests().size());
    EXPECT_EQ("SongDeck probe", server.Requests()[0].Header("User-Agent"));

    // A length, then the connection closed half-way.
    server.On("/cut", [](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, std::string(4000, 'c'));
        reply.dropAfter = 1000;
        return reply;
    });
    Outcome cut = Fetch(server.Url("/cut"), keepGoing);
    EXPECT_EQ(HttpRequestResult::Failed, cut.result);
    EXPECT_EQ(4000u, cut.head.contentLength.value_or(0));
    EXPECT_EQ(1000u, cut.body.size());

    // No length, only the span of a Content-Range: the span is what was promised.
    auto content = std::make_shared<const std::string>(std::string(3000, 'r'));
    server.On("/range", [content](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Partial(content, 1000);
        reply.framing = HttpTestReply::Framing::Close;
        reply.dropAfter = 500;
        return reply;
    });
    Outcome range = Fetch(server.Url("/range"), keepGoing);
    EXPECT_EQ(HttpRequestResult::Failed, range.result);
    EXPECT_EQ(1000u, range.head.rangeStart.value_or(0));
    EXPECT_EQ(500u, range.body.size());

    // Whole answers of both kinds complete.
    server.ServeFile("/whole", std::string(5000, 'w'));
    Outcome whole = Fetch(server.Url("/whole"), keepGoing);
    EXPECT_EQ(HttpRequestResult::Completed, whole.result);
    EXPECT_EQ(std::string(5000, 'w'), whole.body);
}

TEST(HttpRequest, ADripIsTooSlowAndAClearedFlagStopsWithinAMoment) {
    TestHttpServer server;
    server.On("/drip", [](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, std::string(100000, 'd'));
        reply.dripBytes = 10;
        reply.dripMs = 50;
        return reply;
    });
    std::atomic<int> keepGoing{1};
    HttpTransferLimits limits;
    limits.minimumBytesPerSecond = 5000;
    limits.speedWindowMs = 400;
    Outcome slow = Fetch(server.Url("/drip"), keepGoing, limits);
    EXPECT_EQ(HttpRequestResult::TooSlow, slow.result);
    EXPECT_LT(slow.body.size(), 1000u);

    const auto start = std::chrono::steady_clock::now();
    std::thread stopper([&keepGoing] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        keepGoing.store(0);
    });
    Outcome stopped = Fetch(server.Url("/drip"), keepGoing);
    stopper.join();
    EXPECT_EQ(HttpRequestResult::Stopped, stopped.result);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(HttpRequest, LocationsResolveAgainstTheirBaseOnlyForHttp) {
    EXPECT_EQ("http://host/a/c", CHttpRequest::ResolveLocation("http://host/a/b", "c"));
    EXPECT_EQ("https://other/x", CHttpRequest::ResolveLocation("http://host/a", "https://other/x"));
    EXPECT_EQ("http://host/y", CHttpRequest::ResolveLocation("http://host/a/b", "/y"));
    EXPECT_EQ("", CHttpRequest::ResolveLocation("http://host/a", "ftp://other/x"));
    EXPECT_EQ("", CHttpRequest::ResolveLocation("file:///a", "b"));
}

TEST(HttpRequest, HeadsAreReadAsSentWithLengthsPast32BitsAndRangeSpans) {
    HttpResponseHead head;
    std::optional<uint64_t> rangeEnd;
    ASSERT_TRUE(
        ParseHttpHead("HTTP/1.1 206 Partial Content\r\ncontent-length: 4294967396\r\n"
                      "CONTENT-RANGE: bytes 100-4294967495/4294967496\r\n"
                      "Location:  /next \r\n\r\n",
                      &head, &rangeEnd));
    EXPECT_EQ(206, head.status);
    EXPECT_EQ(4294967396u, head.contentLength.value_or(0));
    EXPECT_EQ(100u, head.rangeStart.value_or(0));
    EXPECT_EQ(4294967495u, rangeEnd.value_or(0));
    EXPECT_EQ("/next", head.location.value_or(""));

    // A coding frames the body, so the length beside it is dropped; odd numbers frame nothing.
    ASSERT_TRUE(
        ParseHttpHead("HTTP/1.1 200 OK\r\nContent-Length: 10\r\nTransfer-Encoding: "
                      "gzip\r\nTransfer-Encoding: chunked\r\n\r\n",
                      &head, &rangeEnd));
    EXPECT_FALSE(head.contentLength);
    EXPECT_EQ("gzip, chunked", head.transferEncoding.value_or(""));
    ASSERT_TRUE(
        ParseHttpHead("HTTP/1.1 206 x\r\nContent-Length: -5\r\nContent-Range: bytes "
                      "*/300\r\n\r\n",
                      &head, &rangeEnd));
    EXPECT_FALSE(head.contentLength);
    EXPECT_FALSE(head.rangeStart);
    EXPECT_FALSE(rangeEnd);
    ASSERT_TRUE(ParseHttpHead("HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n",
                              &head, &rangeEnd));
    EXPECT_FALSE(head.contentLength);
    EXPECT_FALSE(ParseHttpHead("SSH-2.0 hello\r\n\r\n", &head, &rangeEnd));
}

}  // namespace
}  // namespace testsupport
