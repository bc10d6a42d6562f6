// A real HTTP/1.1 server on 127.0.0.1 (an ephemeral port) for tests and benchmarks. Each path
// answers through a handler; answers can misbehave on purpose: ignore ranges, lie about their
// length, omit it, drop the connection or fall silent in the middle of the body. Every request
// is recorded with its headers.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

struct HttpTestRequest {
    std::string method;
    std::string target;  // path and query as sent
    std::vector<std::pair<std::string, std::string>> headers;

    // Without the query; an absolute target (asked of a proxy) without its scheme's default
    // port, which some clients name ("http://host:80/x" is "http://host/x").
    std::string Path() const;
    bool HasHeader(const std::string& name) const;
    // The value of the first header of that name (any case), "" when absent.
    std::string Header(const std::string& name) const;
};

struct HttpTestReply {
    enum class Framing {
        Length,   // Content-Length, connection kept
        Chunked,  // Transfer-Encoding: chunked
        Close,    // no length: the body ends when the connection closes
    };
    static constexpr size_t kNever = static_cast<size_t>(-1);

    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    // The body is body->substr(offset, length), shared so that large files are not copied.
    std::shared_ptr<const std::string> body;
    size_t offset = 0;
    size_t length = kNever;
    Framing framing = Framing::Length;
    // Sent as Content-Length instead of the body's real size (a server that sends too much).
    uint64_t announcedLength = kNever;
    // After this many body bytes the connection is closed (a dropped transfer).
    size_t dropAfter = kNever;
    // After this many body bytes nothing is sent for stallMs (a stalled server).
    size_t stallAfter = kNever;
    unsigned stallMs = 0;
    // Sent as the Transfer-Encoding of a chunked answer instead of "chunked" ("gzip, chunked").
    std::string transferCoding;
    // The body goes out dripBytes at a time, one piece every dripMs (a server that never quite
    // stalls).
    size_t dripBytes = 0;
    unsigned dripMs = 0;
    // The head never ends: one more header line every headerDripMs until the client gives up.
    unsigned headerDripMs = 0;

    static HttpTestReply Text(int status, std::string text);
    static HttpTestReply Redirect(int status, std::string location);
    // The file as a server that honours "Range: bytes=N-" answers it: 200, 206 with
    // Content-Range, or 416 for a start at or past the end. honourRange false: always 200.
    static HttpTestReply File(const HttpTestRequest& request,
                              std::shared_ptr<const std::string> content, bool honourRange = true);
    // A 206 of content from start on, with its Content-Range.
    static HttpTestReply Partial(std::shared_ptr<const std::string> content, size_t start);
    size_t BodySize() const;
};

class TestHttpServer {
public:
    using Handler = std::function<HttpTestReply(const HttpTestRequest&)>;

    // Listens at once; the port is ready when the constructor returns. With tls, connections
    // speak TLS with a certificate for 127.0.0.1 made for this server.
    explicit TestHttpServer(bool tls = false);
    // Closes every connection (ending stalls at once) and joins the server's threads.
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    uint16_t Port() const { return m_port; }
    // "http://127.0.0.1:<port>" + path ("https://" for a TLS server).
    std::string Url(const std::string& path) const;
    // The certificate (PEM) a client must trust to accept a TLS server.
    std::string CertificatePath() const { return m_certificatePath; }
    // Makes the system distrust the certificate of a TLS server: on Windows it leaves the
    // user's Root store; on Linux trust is only what the client is told to trust.
    void Distrust();
    std::wstring WideUrl(const std::string& path) const;

    // Paths are matched without their query; unknown paths answer 404.
    void On(const std::string& path, Handler handler);
    // Serves content at path with ranges honoured.
    void ServeFile(const std::string& path, std::string content);
    void ServeFile(const std::string& path, std::shared_ptr<const std::string> content);

    std::vector<HttpTestRequest> Requests() const;
    std::vector<HttpTestRequest> RequestsFor(const std::string& path) const;
    void ClearRequests();
    // Connections accepted so far.
    size_t ConnectionCount() const { return m_nConnections.load(); }

private:
    void AcceptLoop();
    void ServeConnection(int fd);
    // Waits until fd has something to read; false once the server stops (wine's shutdown does
    // not wake a blocked receive).
    bool WaitReadable(int fd);
    // False when the connection must be closed after this answer.
    bool SendReply(int fd, const HttpTestRequest& request, const HttpTestReply& reply);
    bool SendAll(int fd, const char* data, size_t size);
    // A head that never ends; false once the client is gone or the server stops.
    bool DripHeaders(int fd, unsigned intervalMs);
    void SetUpTls();
    // Waits up to ms unless the server stops; false when it stops.
    bool Pause(unsigned ms);

    int m_listenFd = -1;
    void* m_pTlsContext = nullptr;
    bool m_bTls = false;
    // On Windows TLS is a relay in front of this plain server (support/win32/tls_relay.h).
    std::shared_ptr<void> m_pRelay;
    std::string m_certificateDir;
    std::string m_certificatePath;
    uint16_t m_port = 0;
    std::atomic<bool> m_bStopping{false};
    std::atomic<size_t> m_nConnections{0};
    std::thread m_acceptThread;

    mutable std::mutex m_mutex;
    std::condition_variable m_stopSignal;
    std::map<std::string, Handler> m_handlers;
    std::vector<HttpTestRequest> m_requests;
    std::vector<int> m_openFds;
    std::vector<std::thread> m_connectionThreads;
};

}  // namespace testsupport
