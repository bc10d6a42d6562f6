// HTTP GET through libcurl: one easy handle on a multi handle per download thread, so that the
// thread can poll its keep-going flag and its time limits while the transfer runs. libcurl is
// opened with the first request; without it every request fails as an unreachable server does.
#include "platform/http_request.h"

#include <curl/curl.h>
#include <strings.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/http_head_fields.h"
#include "platform/http_transfer_watch.h"
#include "platform/linux/shared_library.h"

namespace {

// Large chunks keep the number of writes and progress notifications per file small.
constexpr long kReceiveBufferBytes = 512 * 1024;
// How often the transfer loop looks at the keep-going flag and the time limits.
constexpr int kPollMs = 50;

// Members drop the curl_ prefix: curl.h defines some of the names as function-like macros.
// clang-format off
#define SONGDECK_CURL(X, name) X(name, curl_##name)
#define SONGDECK_CURL_FUNCTIONS(X)                                                          \
    SONGDECK_CURL(X, global_init) SONGDECK_CURL(X, easy_init) SONGDECK_CURL(X, easy_cleanup) \
    SONGDECK_CURL(X, easy_reset) SONGDECK_CURL(X, easy_setopt) SONGDECK_CURL(X, multi_init)  \
    SONGDECK_CURL(X, multi_cleanup) SONGDECK_CURL(X, multi_add_handle)                      \
    SONGDECK_CURL(X, multi_remove_handle) SONGDECK_CURL(X, multi_perform)                   \
    SONGDECK_CURL(X, multi_info_read) SONGDECK_CURL(X, multi_poll)                          \
    SONGDECK_CURL(X, slist_append) SONGDECK_CURL(X, slist_free_all) SONGDECK_CURL(X, url)   \
    SONGDECK_CURL(X, url_set) SONGDECK_CURL(X, url_get) SONGDECK_CURL(X, url_cleanup)       \
    SONGDECK_CURL(X, free)
// clang-format on

struct CurlFunctions {
    SONGDECK_CURL_FUNCTIONS(SONGDECK_LIBRARY_FUNCTION)
    bool Bind(auto bind) { return true SONGDECK_CURL_FUNCTIONS(SONGDECK_LIBRARY_BIND); }
};

// Null when libcurl cannot be used. The first call comes from an update worker thread.
const CurlFunctions* Curl() {
    static const CurlFunctions* const functions =
        platform::LoadSharedLibraryFunctions<CurlFunctions>("libcurl.so.4");
    return functions;
}

}  // namespace

struct CHttpRequest::Connection {
    // Null when libcurl is missing or did not start; then so are the handles.
    const CurlFunctions* curl = CHttpRequest::InitializeLibrary() ? Curl() : nullptr;
    CURL* easy = curl != nullptr ? curl->easy_init() : nullptr;
    CURLM* multi = curl != nullptr ? curl->multi_init() : nullptr;
    ~Connection() {
        if (multi != nullptr) {
            curl->multi_cleanup(multi);
        }
        if (easy != nullptr) {
            curl->easy_cleanup(easy);
        }
    }
};

struct CHttpRequest::Exchange {
    const HeadCallback* onHead = nullptr;
    const BodyCallback* onBody = nullptr;
    const std::atomic<int>* keepGoing = nullptr;
    HttpResponseHead head;
    // Last byte of a "Content-Range: bytes first-last/size" answer, and the body bytes so far:
    // a range answer without a length still promises its span.
    std::optional<uint64_t> rangeEnd;
    uint64_t received = 0;
    bool headDelivered = false;
    bool declined = false;
    bool bodyRefused = false;
    bool stopRequested = false;
    CHttpTransferWatch watch;

    void Arrived(size_t bytes) { watch.Arrived(bytes); }
    size_t OnHeaderLine(const char* data, size_t length);
    size_t OnBodyChunk(const char* data, size_t length);
    // The outcome once libcurl reports the transfer over with code.
    HttpRequestResult Outcome(CURLcode code) const;
};

size_t CHttpRequest::Exchange::OnHeaderLine(const char* data, size_t length) {
    Arrived(length);
    std::string line(data, length);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new response begins (an interim 1xx is followed by the final one).
        head = HttpResponseHead{};
        rangeEnd.reset();
        size_t space = line.find(' ');
        if (space != std::string::npos) {
            head.status = std::strtol(line.c_str() + space + 1, nullptr, 10);
        }
        return length;
    }
    std::string trimmed = TrimHttpBlanks(line);
    if (trimmed.empty()) {
        // End of a head. Interim answers carry no decision; curl goes on to the final one.
        // Trailers after a chunked body end with a blank line too: the head is long decided.
        if (headDelivered || (head.status < 200 && head.status != 0)) {
            return length;
        }
        headDelivered = true;
        if (head.transferEncoding) {
            // The coding frames the body; a length beside it is meaningless (RFC 9112 6.3).
            head.contentLength.reset();
        }
        if (!(*onHead)(head)) {
            declined = true;
            return 0;
        }
        return length;
    }
    size_t colon = trimmed.find(':');
    if (colon != std::string::npos) {
        ReadHttpHeaderField(trimmed.substr(0, colon), TrimHttpBlanks(trimmed.substr(colon + 1)),
                            &head, &rangeEnd);
    }
    return length;
}

size_t CHttpRequest::Exchange::OnBodyChunk(const char* data, size_t length) {
    Arrived(length);
    if (keepGoing->load() == 0) {
        stopRequested = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (!headDelivered) {
        // A body without a head (HTTP/0.9 style) is not something we accept.
        declined = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (length == 0) {
        return 0;
    }
    if (!(*onBody)(data, length)) {
        bodyRefused = true;
        return CURL_WRITEFUNC_ERROR;
    }
    received += length;
    return length;
}

HttpRequestResult CHttpRequest::Exchange::Outcome(CURLcode code) const {
    if (stopRequested) {
        return HttpRequestResult::Stopped;
    }
    if (declined) {
        return HttpRequestResult::Declined;
    }
    if (bodyRefused) {
        return HttpRequestResult::BodyFailed;
    }
    const bool spanShort = !head.contentLength && head.status == 206 && head.rangeStart &&
                           rangeEnd && *rangeEnd >= *head.rangeStart &&
                           received != *rangeEnd - *head.rangeStart + 1;
    return code == CURLE_OK && headDelivered && !spanShort ? HttpRequestResult::Completed
                                                           : HttpRequestResult::Failed;
}

namespace {
size_t HeaderLineThunk(char* data, size_t size, size_t count, void* exchange) {
    return static_cast<CHttpRequest::Exchange*>(exchange)->OnHeaderLine(data, size * count);
}

size_t BodyChunkThunk(char* data, size_t size, size_t count, void* exchange) {
    return static_cast<CHttpRequest::Exchange*>(exchange)->OnBodyChunk(data, size * count);
}

void ApplySettings(const CurlFunctions& curl, CURL* easy, const HttpRequestSettings& settings) {
    curl.easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl.easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.certificateAuthorities.empty()) {
        curl.easy_setopt(easy, CURLOPT_CAINFO, settings.certificateAuthorities.c_str());
    }
    if (!settings.userAgent.empty()) {
        curl.easy_setopt(easy, CURLOPT_USERAGENT, settings.userAgent.c_str());
    }
    if (settings.direct) {
        curl.easy_setopt(easy, CURLOPT_PROXY, "");
    } else if (!settings.proxy.empty()) {
        curl.easy_setopt(easy, CURLOPT_PROXY, settings.proxy.c_str());
        if (settings.proxyUser) {
            curl.easy_setopt(easy, CURLOPT_PROXYUSERNAME, settings.proxyUser->c_str());
        }
        if (settings.proxyPassword) {
            curl.easy_setopt(easy, CURLOPT_PROXYPASSWORD, settings.proxyPassword->c_str());
        }
    }
}

// A GET of url whose head and body go to the exchange.
void PrepareTransfer(const CurlFunctions& curl, CURL* easy, const std::string& url,
                     curl_slist* headers, void* exchange) {
    curl.easy_reset(easy);
    curl.easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl.easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl.easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed by the caller, which keeps its own ".part" and hop count.
    curl.easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    // Bodies stay as sent: nothing asks for, or inflates, a compressed coding.
    curl.easy_setopt(easy, CURLOPT_TRANSFER_ENCODING, 0L);
    curl.easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl.easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl.easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl.easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl.easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl.easy_setopt(easy, CURLOPT_HEADERFUNCTION, &HeaderLineThunk);
    curl.easy_setopt(easy, CURLOPT_HEADERDATA, exchange);
    curl.easy_setopt(easy, CURLOPT_WRITEFUNCTION, &BodyChunkThunk);
    curl.easy_setopt(easy, CURLOPT_WRITEDATA, exchange);
}

}  // namespace

bool CHttpRequest::InitializeLibrary() {
    static std::once_flag once;
    static bool initialized = false;
    std::call_once(once, [] {
        const CurlFunctions* curl = Curl();
        initialized = curl != nullptr && curl->global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    });
    return initialized;
}

CHttpRequest::CHttpRequest(HttpRequestSettings settings) : m_settings(std::move(settings)) {
    m_pConnection = std::make_unique<Connection>();
}

CHttpRequest::~CHttpRequest() = default;

bool CHttpRequest::IsValid() const {
    return m_pConnection->easy != nullptr && m_pConnection->multi != nullptr;
}

bool CHttpRequest::IsSupportedUrl(const std::string& url) {
    return strncasecmp(url.c_str(), "http://", 7) == 0 ||
           strncasecmp(url.c_str(), "https://", 8) == 0;
}

std::string CHttpRequest::ResolveLocation(const std::string& baseUrl, const std::string& location) {
    const CurlFunctions* curl = InitializeLibrary() ? Curl() : nullptr;
    if (curl == nullptr || !IsSupportedUrl(baseUrl)) {
        return {};
    }
    CURLU* url = curl->url();
    if (url == nullptr) {
        return {};
    }
    std::string resolved;
    char* text = nullptr;
    // Setting a relative reference on a handle holding the base resolves it (RFC 3986).
    if (curl->url_set(url, CURLUPART_URL, baseUrl.c_str(), 0) == CURLUE_OK &&
        curl->url_set(url, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK &&
        curl->url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
        resolved = text;
    }
    curl->free(text);
    curl->url_cleanup(url);
    return IsSupportedUrl(resolved) ? resolved : std::string();
}

HttpRequestResult CHttpRequest::Get(const std::string& url,
                                    const std::vector<std::string>& headerLines,
                                    const std::atomic<int>& keepGoing,
                                    const HttpTransferLimits& limits, const HeadCallback& onHead,
                                    const BodyCallback& onBody) {
    if (!IsValid() || !IsSupportedUrl(url)) {
        return HttpRequestResult::Failed;
    }
    Exchange exchange;
    exchange.onHead = &onHead;
    exchange.onBody = &onBody;
    exchange.keepGoing = &keepGoing;

    const CurlFunctions& curl = *m_pConnection->curl;
    curl_slist* headers = nullptr;
    for (const std::string& line : headerLines) {
        headers = curl.slist_append(headers, line.c_str());
    }
    CURL* easy = m_pConnection->easy;
    PrepareTransfer(curl, easy, url, headers, &exchange);
    ApplySettings(curl, easy, m_settings);

    HttpRequestResult result = RunExchange(exchange, limits);
    curl.easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl.slist_free_all(headers);
    return result;
}

HttpRequestResult CHttpRequest::RunExchange(Exchange& exchange, const HttpTransferLimits& limits) {
    const CurlFunctions& curl = *m_pConnection->curl;
    CURL* easy = m_pConnection->easy;
    CURLM* multi = m_pConnection->multi;
    if (curl.multi_add_handle(multi, easy) != CURLM_OK) {
        return HttpRequestResult::Failed;
    }
    HttpRequestResult result = HttpRequestResult::Failed;
    while (true) {
        int running = 0;
        if (curl.multi_perform(multi, &running) != CURLM_OK) {
            break;
        }
        std::optional<CURLcode> done;
        int queued = 0;
        while (CURLMsg* message = curl.multi_info_read(multi, &queued)) {
            if (message->msg == CURLMSG_DONE) {
                done = message->data.result;
            }
        }
        if (done || running == 0) {
            result = exchange.Outcome(done.value_or(CURLE_OK));
            break;
        }
        result = exchange.watch.Check(limits, *exchange.keepGoing);
        if (result != HttpRequestResult::Completed) {
            break;
        }
        curl.multi_poll(multi, nullptr, 0, kPollMs, nullptr);
    }
    curl.multi_remove_handle(multi, easy);
    return result;
}
