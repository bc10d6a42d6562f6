#include "test_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <strings.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace testsupport {

namespace {

constexpr size_t kSendPiece = 1024 * 1024;

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

TestHttpServer::TestHttpServer() {
    m_listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listenFd < 0) {
        throw std::runtime_error("test server: socket failed");
    }
    int yes = 1;
    setsockopt(m_listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof(address);
    if (bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(m_listenFd, 64) != 0 ||
        getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        close(m_listenFd);
        throw std::runtime_error("test server: cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    m_acceptThread = std::thread([this] { AcceptLoop(); });
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
    close(m_listenFd);
}

std::string TestHttpServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
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
        pollfd waiting{m_listenFd, POLLIN, 0};
        if (poll(&waiting, 1, 50) <= 0) {
            continue;
        }
        int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof(yes));
        m_nConnections.fetch_add(1);
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openFds.push_back(fd);
        m_connectionThreads.emplace_back([this, fd] { ServeConnection(fd); });
    }
}

void TestHttpServer::ServeConnection(int fd) {
    std::string buffer;
    char chunk[16384];
    bool keepOpen = true;
    while (keepOpen && !m_bStopping.load()) {
        size_t end;
        while ((end = buffer.find("\r\n\r\n")) == std::string::npos) {
            ssize_t got = recv(fd, chunk, sizeof(chunk), 0);
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
    shutdown(fd, SHUT_RDWR);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openFds.erase(std::remove(m_openFds.begin(), m_openFds.end(), fd), m_openFds.end());
    close(fd);
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
            size_t announced =
                reply.announcedLength != HttpTestReply::kNever ? reply.announcedLength : size;
            head += "Content-Length: " + std::to_string(announced) + "\r\n";
            break;
        }
        case HttpTestReply::Framing::Chunked:
            head += "Transfer-Encoding: chunked\r\n";
            break;
        case HttpTestReply::Framing::Close:
            head += "Connection: close\r\n";
            break;
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
        ssize_t sent = send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

bool TestHttpServer::Pause(unsigned ms) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_stopSignal.wait_for(lock, std::chrono::milliseconds(ms),
                                  [this] { return m_bStopping.load(); });
}

}  // namespace testsupport
