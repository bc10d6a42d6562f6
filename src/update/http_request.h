// One HTTP GET at a time over a connection kept by the download thread (libcurl). The caller
// sees the response head once, decides whether it wants the body, and then gets the body in
// the chunks the network delivers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

struct HttpResponseHead {
    long status = 0;
    std::optional<uint64_t> contentLength;
    std::optional<std::string> location;
    // First byte of a "Content-Range: bytes first-last/size" answer.
    std::optional<uint64_t> rangeStart;
};

struct HttpRequestSettings {
    std::string userAgent;
    // Empty: the system's proxy settings (the environment); "" with direct set: no proxy.
    std::string proxy;
    bool direct = false;
    std::optional<std::string> proxyUser;
    std::optional<std::string> proxyPassword;
    // PEM file of the certificates to check https servers against; empty: the system's.
    std::string certificateAuthorities;
};

enum class HttpRequestResult {
    Completed,   // the response ended as the server framed it
    Declined,    // the head callback did not want the body
    Stopped,     // the keep-going flag was cleared
    Stalled,     // nothing arrived within the stall bound
    BodyFailed,  // the body callback refused a chunk
    Failed,      // connection, protocol or transfer failure
};

class CHttpRequest {
public:
    using HeadCallback = std::function<bool(const HttpResponseHead&)>;
    using BodyCallback = std::function<bool(const char* data, size_t size)>;

    // Once per process, before the first request; false when the library cannot start.
    static bool InitializeLibrary();

    explicit CHttpRequest(HttpRequestSettings settings);
    ~CHttpRequest();
    CHttpRequest(const CHttpRequest&) = delete;
    CHttpRequest& operator=(const CHttpRequest&) = delete;

    bool IsValid() const { return m_pEasy != nullptr && m_pMulti != nullptr; }

    // Sends GET url with the header lines and runs the exchange until it ends, keepGoing is
    // cleared or nothing arrives for stallMs. onHead sees the final response head (never an
    // interim 1xx) and answers whether the body is wanted.
    HttpRequestResult Get(const std::string& url, const std::vector<std::string>& headerLines,
                          const std::atomic<int>& keepGoing, unsigned stallMs,
                          const HeadCallback& onHead, const BodyCallback& onBody);

    // A Location value made absolute against the URL it came from; empty when either is not
    // an http or https URL.
    static std::string ResolveLocation(const std::string& baseUrl, const std::string& location);
    static bool IsSupportedUrl(const std::string& url);

private:
    struct Exchange;
    static size_t OnHeaderLine(char* data, size_t size, size_t count, void* exchange);
    static size_t OnBodyChunk(char* data, size_t size, size_t count, void* exchange);

    HttpRequestSettings m_settings;
    void* m_pEasy = nullptr;
    void* m_pMulti = nullptr;
};
