#include "test_http_server.h"

#ifdef _WIN32
// Plain HTTP on Windows: its tests run against WinINet without a TLS library of ours, and TLS
// is a relay in front.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/win32/tls_relay.h"
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#endif

#include <algorithm>
#include <filesystem>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr size_t kSendPiece = 1024 * 1024;

#ifdef _WIN32
// Socket handles are kept as int: on 32-bit Windows a SOCKET is a small 32-bit value.
constexpr int SHUT_RDWR = SD_BOTH;
constexpr int SOCK_CLOEXEC = 0;

int strcasecmp(const char* a, const char* b) {
    return _stricmp(a, b);
}

void CloseSocket(int fd) {
    closesocket(static_cast<SOCKET>(fd));
}

int poll(pollfd* fds, unsigned long count, int timeoutMs) {
    return WSAPoll(fds, count, timeoutMs);
}

int accept4(int fd, sockaddr* address, int* length, int) {
    SOCKET accepted = accept(static_cast<SOCKET>(fd), address, length);
    return accepted == INVALID_SOCKET ? -1 : static_cast<int>(accepted);
}

void StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started) {
        throw std::runtime_error("test server: no sockets");
    }
}

ssize_t Receive(int fd, char* buffer, size_t size) {
    return recv(static_cast<SOCKET>(fd), buffer, static_cast<int>(size), 0);
}

ssize_t Send(int fd, const char* data, size_t size) {
    return send(static_cast<SOCKET>(fd), data, static_cast<int>(size), 0);
}
#else
void CloseSocket(int fd) {
    close(fd);
}

void StartSockets() {}

// The TLS session of the connection this thread serves (every connection has its thread).
thread_local SSL* t_pTls = nullptr;

ssize_t Receive(int fd, char* buffer, size_t size) {
    if (t_pTls != nullptr) {
        return SSL_read(t_pTls, buffer, static_cast<int>(size));
    }
    return recv(fd, buffer, size, 0);
}

ssize_t Send(int fd, const char* data, size_t size) {
    if (t_pTls != nullptr) {
        return SSL_write(t_pTls, data, static_cast<int>(size));
    }
    return send(fd, data, size, MSG_NOSIGNAL);
}
#endif

const char* ReasonPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 206:
            return "Partial Content";
        case 301:
            return "Moved Permanently";
        case 302:
            return "Found";
        case 303:
            return "See Other";
        case 307:
            return "Temporary Redirect";
        case 400:
            return "Bad Request";
        case 403:
            return "Forbidden";
        case 404:
            return "Not Found";
        case 416:
            return "Range Not Satisfiable";
        case 500:
            return "Internal Server Error";
        case 503:
            return "Service Unavailable";
        default:
            return "Status";
    }
}

std::string Trim(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The start of "bytes=N-" (only the open-ended form is parsed; anything else is no range).
bool ParseRangeStart(const std::string& value, size_t* start) {
    if (value.rfind("bytes=", 0) != 0 || value.back() != '-') {
        return false;
    }
    std::string digits = value.substr(6, value.size() - 7);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    *start = std::strtoull(digits.c_str(), nullptr, 10);
    return true;
}

}  // namespace

std::string HttpTestRequest::Path() const {
    std::string path = target.substr(0, target.find('?'));
    const std::string scheme = "http://";
    if (path.rfind(scheme, 0) == 0) {
        const size_t slash = path.find('/', scheme.size());
        const size_t end = slash == std::string::npos ? path.size() : slash;
        if (end >= scheme.size() + 3 && path.compare(end - 3, 3, ":80") == 0) {
            path.erase(end - 3, 3);
        }
    }
    return path;
}

bool HttpTestRequest::HasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(), [&](const auto& header) {
        return strcasecmp(header.first.c_str(), name.c_str()) == 0;
    });
}

std::string HttpTestRequest::Header(const std::string& name) const {
    for (const auto& header : headers) {
        if (strcasecmp(header.first.c_str(), name.c_str()) == 0) {
            return header.second;
        }
    }
    return {};
}

HttpTestReply HttpTestReply::Text(int status, std::string text) {
    HttpTestReply reply;
    reply.status = status;
    reply.body = std::make_shared<const std::string>(std::move(text));
    return reply;
}

HttpTestReply HttpTestReply::Redirect(int status, std::string location) {
    HttpTestReply reply = Text(status, "moved");
    reply.headers.emplace_back("Location", std::move(location));
    return reply;
}

HttpTestReply HttpTestReply::File(const HttpTestRequest& request,
                                  std::shared_ptr<const std::string> content, bool honourRange) {
    size_t start = 0;
    if (!honourRange || !ParseRangeStart(request.Header("Range"), &start)) {
        HttpTestReply reply;
        reply.body = std::move(content);
        return reply;
    }
    if (start >= content->size()) {
        HttpTestReply refused = Text(416, "");
        refused.headers.emplace_back("Content-Range", "bytes */" + std::to_string(content->size()));
        return refused;
    }
    return Partial(std::move(content), start);
}

HttpTestReply HttpTestReply::Partial(std::shared_ptr<const std::string> content, size_t start) {
    HttpTestReply reply;
    size_t size = content->size();
    reply.status = 206;
    reply.offset = start;
    reply.body = std::move(content);
    reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(start) + "-" +
                                                    std::to_string(size - 1) + "/" +
                                                    std::to_string(size));
    return reply;
}

size_t HttpTestReply::BodySize() const {
    if (!body || offset >= body->size()) {
        return 0;
    }
    return std::min(length, body->size() - offset);
}

TestHttpServer::TestHttpServer(bool tls) {
    StartSockets();
#ifndef _WIN32
    if (tls) {
        SetUpTls();
    }
#endif
    m_listenFd = static_cast<int>(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (m_listenFd < 0) {
        throw std::runtime_error("test server: socket failed");
    }
    int yes = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes),
               sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(m_listenFd, 64) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        CloseSocket(m_listenFd);
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
#ifdef _WIN32
    if (tls) {
        try {
            SetUpTls();
        } catch (...) {
            m_bStopping.store(true);
            m_acceptThread.join();
            CloseSocket(m_listenFd);
            throw;
        }
    }
#endif
}

TestHttpServer::~TestHttpServer() {
    m_bStopping.store(true);
    m_stopSignal.notify_all();
    if (m_acceptThread.joinable()) {
        m_acceptThread.join();
    }
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int fd : m_openFds) {
            shutdown(fd, SHUT_RDWR);
        }
        threads.swap(m_connectionThreads);
    }
    m_stopSignal.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
    CloseSocket(m_listenFd);
#ifndef _WIN32
    SSL_CTX_free(static_cast<SSL_CTX*>(m_pTlsContext));
#endif
    if (!m_certificateDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_certificateDir, ignored);
    }
}

void TestHttpServer::SetUpTls() {
#ifdef _WIN32
    // Clients reach the relay; the requests arrive here as plain HTTP.
    auto relay = std::make_shared<TlsRelay>(m_port);
    m_port = relay->Port();
    m_certificatePath = relay->CertificatePath();
    m_pRelay = relay;
    m_bTls = true;
#else
    std::string pattern = (std::filesystem::temp_directory_path() / "songdeck_tls_XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("test server: no certificate folder");
    }
    m_certificateDir = pattern;
    m_certificatePath = m_certificateDir + "/cert.pem";
    const std::string key = m_certificateDir + "/key.pem";
    const std::string command =
        "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1"
        " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 -keyout '" +
        key + "' -out '" + m_certificatePath + "' 2>/dev/null";
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    m_pTlsContext = context;
    if (std::system(command.c_str()) != 0 || context == nullptr ||
        SSL_CTX_use_certificate_file(context, m_certificatePath.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_use_PrivateKey_file(context, key.c_str(), SSL_FILETYPE_PEM) != 1) {
        throw std::runtime_error("test server: no TLS certificate");
    }
    m_bTls = true;
#endif
}

void TestHttpServer::Distrust() {
#ifdef _WIN32
    if (m_pRelay) {
        static_cast<TlsRelay*>(m_pRelay.get())->Distrust();
    }
#endif
}

std::string TestHttpServer::Url(const std::string& path) const {
    return std::string(m_bTls ? "https" : "http") + "://127.0.0.1:" + std::to_string(m_port) + path;
}

std::wstring TestHttpServer::WideUrl(const std::string& path) const {
    std::string url = Url(path);
    return std::wstring(url.begin(), url.end());
}

void TestHttpServer::On(const std::string& path, Handler handler) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers[path] = std::move(handler);
}

void TestHttpServer::ServeFile(const std::string& path, std::string content) {
    ServeFile(path, std::make_shared<const std::string>(std::move(content)));
}

void TestHttpServer::ServeFile(const std::string& path,
                               std::shared_ptr<const std::string> content) {
    On(path,
       [content](const HttpTestRequest& request) { return HttpTestReply::File(request, content); });
}

std::vector<HttpTestRequest> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::vector<HttpTestRequest> TestHttpServer::RequestsFor(const std::string& path) const {
    std::vector<HttpTestRequest> matching;
    for (HttpTestRequest& request : Requests()) {
        if (request.Path() == path) {
            matching.push_back(std::move(request));
        }
    }
    return matching;
}

void TestHttpServer::ClearRequests() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.clear();
}

void TestHttpServer::AcceptLoop() {
    while (!m_bStopping.load()) {
        pollfd waiting{};
        waiting.fd = m_listenFd;
        waiting.events = POLLIN;
        if (poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof(yes));
        m_nConnections.fetch_add(1);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openFds.push_back(fd);
        m_connectionThreads.emplace_back([this, fd] { ServeConnection(fd); });
    }
}

void TestHttpServer::ServeConnection(int fd) {
#ifndef _WIN32
    SSL* tls = nullptr;
    if (m_pTlsContext != nullptr) {
        tls = SSL_new(static_cast<SSL_CTX*>(m_pTlsContext));
        SSL_set_fd(tls, fd);
        if (SSL_accept(tls) != 1) {
            SSL_free(tls);
            tls = nullptr;
            shutdown(fd, SHUT_RDWR);
        }
        t_pTls = tls;
    }
#endif
    std::string buffer;
    char chunk[16384];
    bool keepOpen = true;
    while (keepOpen && !m_bStopping.load()) {
        size_t end;
        while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
            ssize_t got = WaitReadable(fd) ? Receive(fd, chunk, sizeof(chunk)) : 0;
            if (got <= 0) {
                keepOpen = false;
                break;
            }
            buffer.append(chunk, static_cast<size_t>(got));
            // Not HTTP (a TLS hello, say): hang up as a plain HTTP server does.
            if (buffer[0] < 'A' || buffer[0] > 'Z') {
                keepOpen = false;
                break;
            }
        }
        if (!keepOpen) {
            break;
        }
        std::string head = buffer.substr(0, end);
        buffer.erase(0, end + 4);

        HttpTestRequest request;
        size_t lineEnd = head.find("\r\n");
        std::string requestLine = head.substr(0, lineEnd);
        size_t firstSpace = requestLine.find(' ');
        size_t secondSpace = requestLine.find(' ', firstSpace + 1);
        request.method = requestLine.substr(0, firstSpace);
        request.target = requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
        while (lineEnd != std::string::npos) {
            size_t start = lineEnd + 2;
            lineEnd = head.find("\r\n", start);
            std::string line = head.substr(start, lineEnd - start);
            size_t colon = line.find(':');
            if (colon != std::string::npos) {
                request.headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
            }
        }

        Handler handler;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_requests.push_back(request);
            auto found = m_handlers.find(request.Path());
            if (found != m_handlers.end()) {
                handler = found->second;
            }
        }
        HttpTestReply reply = handler ? handler(request) : HttpTestReply::Text(404, "not found");
        keepOpen = SendReply(fd, request, reply) &&
                   strcasecmp(request.Header("Connection").c_str(), "close") != 0;
    }
#ifndef _WIN32
    if (tls != nullptr) {
        SSL_free(tls);
        t_pTls = nullptr;
    }
#endif
    shutdown(fd, SHUT_RDWR);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openFds.erase(std::remove(m_openFds.begin(), m_openFds.end(), fd), m_openFds.end());
    CloseSocket(fd);
}

bool TestHttpServer::WaitReadable(int fd) {
#ifndef _WIN32
    if (t_pTls != nullptr) {
        return true;
    }
#endif
    while (!m_bStopping.load()) {
        pollfd waiting{};
        waiting.fd = fd;
        waiting.events = POLLIN;
        const int ready = poll(&waiting, 1, 50);
        if (ready != 0) {
            return ready > 0;
        }
    }
    return false;
}

bool TestHttpServer::SendReply(int fd, const HttpTestRequest& request, const HttpTestReply& reply) {
    size_t size = reply.BodySize();
    std::string head =
        "HTTP/1.1 " + std::to_string(reply.status) + " " + ReasonPhrase(reply.status) + "\r\n";
    for (const auto& header : reply.headers) {
        head += header.first + ": " + header.second + "\r\n";
    }
    switch (reply.framing) {
        case HttpTestReply::Framing::Length: {
            uint64_t announced =
                reply.announcedLength != HttpTestReply::kNever ? reply.announcedLength : size;
            head += "Content-Length: " + std::to_string(announced) + "\r\n";
            break;
        }
        case HttpTestReply::Framing::Chunked:
            head += "Transfer-Encoding: " +
                    (reply.transferCoding.empty() ? std::string("chunked") : reply.transferCoding) +
                    "\r\n";
            break;
        case HttpTestReply::Framing::Close:
            head += "Connection: close\r\n";
            break;
    }
    if (reply.headerDripMs != 0) {
        return SendAll(fd, head.data(), head.size()) && DripHeaders(fd, reply.headerDripMs);
    }
    head += "\r\n";
    if (!SendAll(fd, head.data(), head.size())) {
        return false;
    }
    if (request.method == "HEAD") {
        return reply.framing != HttpTestReply::Framing::Close;
    }

    const char* data = size != 0 ? reply.body->data() + reply.offset : "";
    size_t sent = 0;
    bool stalled = false;
    while (sent < size) {
        size_t piece = std::min(kSendPiece, size - sent);
        if (!stalled && reply.stallAfter > sent) {
            piece = std::min(piece, reply.stallAfter - sent);
        }
        if (reply.dropAfter > sent) {
            piece = std::min(piece, reply.dropAfter - sent);
        }
        if (sent == reply.dropAfter) {
            return false;
        }
        if (!stalled && sent == reply.stallAfter) {
            stalled = true;
            if (!Pause(reply.stallMs)) {
                return false;
            }
        }
        if (piece == 0) {
            continue;
        }
        if (reply.dripBytes != 0) {
            piece = std::min(piece, reply.dripBytes);
            if (sent != 0 && !Pause(reply.dripMs)) {
                return false;
            }
        }
        if (reply.framing == HttpTestReply::Framing::Chunked) {
            char size_line[32];
            int n = std::snprintf(size_line, sizeof(size_line), "%zx\r\n", piece);
            if (!SendAll(fd, size_line, static_cast<size_t>(n))) {
                return false;
            }
        }
        if (!SendAll(fd, data + sent, piece)) {
            return false;
        }
        if (reply.framing == HttpTestReply::Framing::Chunked && !SendAll(fd, "\r\n", 2)) {
            return false;
        }
        sent += piece;
    }
    if (sent == reply.dropAfter) {
        return false;
    }
    if (reply.framing == HttpTestReply::Framing::Chunked && !SendAll(fd, "0\r\n\r\n", 5)) {
        return false;
    }
    return reply.framing != HttpTestReply::Framing::Close;
}

bool TestHttpServer::SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t sent = Send(fd, data, size);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool TestHttpServer::DripHeaders(int fd, unsigned intervalMs) {
    for (unsigned line = 0;; ++line) {
        if (!Pause(intervalMs)) {
            return false;
        }
        const std::string field = "X-Drip: " + std::to_string(line) + "\r\n";
        if (!SendAll(fd, field.data(), field.size())) {
            return false;
        }
    }
}

bool TestHttpServer::Pause(unsigned ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_stopSignal.wait_for(lock, std::chrono::milliseconds(ms),
                                  [this] { return m_bStopping.load(); });
}

}  // namespace testsupport
