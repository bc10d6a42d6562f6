// One HTTP GET at a time over a connection kept by the download thread. The caller sees the
// response head once, decides whether it wants the body, and then gets the body in the chunks
// the network delivers. Bodies are handed over as framed on the wire, never decompressed.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct HttpResponseHead {
    long status = 0;
    // Absent when the answer names a transfer coding: its length then frames nothing.
    std::optional<uint64_t> contentLength;
    std::optional<std::string> location;
    // The Transfer-Encoding value as sent, when there is one.
    std::optional<std::string> transferEncoding;
    // First byte of a "Content-Range: bytes first-last/size" answer; absent for any other form
    // ("bytes */size" included).
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

// How long an exchange may go on without making progress.
struct HttpTransferLimits {
    // Nothing at all arrives for this long: the attempt is given up.
    unsigned stallMs = 60000;
    // Fewer bytes than minimumBytesPerSecond on average over a window of speedWindowMs (head
    // and body bytes alike) end the attempt too, so a drip of bytes cannot hold it forever.
    // 0 turns the check off.
    uint32_t minimumBytesPerSecond = 0;
    unsigned speedWindowMs = 30000;
};

enum class HttpRequestResult {
    Completed,   // the response ended as the server framed it
    Declined,    // the head callback did not want the body
    Stopped,     // the keep-going flag was cleared
    Stalled,     // nothing arrived within the stall bound
    TooSlow,     // less than the minimum speed over a window
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

    bool IsValid() const;

    // Sends GET url with the header lines and runs the exchange until it ends, keepGoing is
    // cleared or a limit is reached. onHead sees the final response head (never an interim
    // 1xx) and answers whether the body is wanted.
    HttpRequestResult Get(const std::string& url, const std::vector<std::string>& headerLines,
                          const std::atomic<int>& keepGoing, const HttpTransferLimits& limits,
                          const HeadCallback& onHead, const BodyCallback& onBody);

    // A Location value made absolute against the URL it came from; empty when either is not
    // an http or https URL.
    static std::string ResolveLocation(const std::string& baseUrl, const std::string& location);
    static bool IsSupportedUrl(const std::string& url);

    // What one exchange keeps while it runs (the platform's own).
    struct Exchange;

private:
    struct Connection;
    // Drives the exchange set up by Get until it ends or a limit is reached.
    HttpRequestResult RunExchange(Exchange& exchange, const HttpTransferLimits& limits);

    std::unique_ptr<Connection> m_pConnection;
    HttpRequestSettings m_settings;
};
