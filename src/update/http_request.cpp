#include "update/http_request.h"

#include <curl/curl.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <strings.h>

namespace {

using Clock = std::chrono::steady_clock;

// Large chunks keep the number of writes and progress notifications per file small.
constexpr long kReceiveBufferBytes = 512 * 1024;
// How often the transfer loop looks at the keep-going flag and the stall clock.
constexpr int kPollMs = 50;

std::string Trim(std::string text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::optional<uint64_t> ParseNumber(const std::string& text) {
    if (text.empty() || text[0] < '0' || text[0] > '9') {
        return std::nullopt;
    }
    char* end = nullptr;
    unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    return static_cast<uint64_t>(value);
}

}  // namespace

struct CHttpRequest::Exchange {
    const HeadCallback* onHead = nullptr;
    const BodyCallback* onBody = nullptr;
    HttpResponseHead head;
    bool headDelivered = false;
    bool declined = false;
    bool bodyRefused = false;
    bool stopRequested = false;
    const std::atomic<int>* keepGoing = nullptr;
    Clock::time_point lastActivity = Clock::now();
};

bool CHttpRequest::InitializeLibrary() {
    static std::once_flag once;
    static bool initialized = false;
    std::call_once(once, [] { initialized = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    return initialized;
}

CHttpRequest::CHttpRequest(HttpRequestSettings settings) : m_settings(std::move(settings)) {
    InitializeLibrary();
    m_pEasy = curl_easy_init();
    m_pMulti = curl_multi_init();
}

CHttpRequest::~CHttpRequest() {
    if (m_pMulti != nullptr) {
        curl_multi_cleanup(static_cast<CURLM*>(m_pMulti));
    }
    if (m_pEasy != nullptr) {
        curl_easy_cleanup(static_cast<CURL*>(m_pEasy));
    }
}

bool CHttpRequest::IsSupportedUrl(const std::string& url) {
    return strncasecmp(url.c_str(), "http://", 7) == 0 ||
           strncasecmp(url.c_str(), "https://", 8) == 0;
}

std::string CHttpRequest::ResolveLocation(const std::string& baseUrl, const std::string& location) {
    if (!IsSupportedUrl(baseUrl)) {
        return {};
    }
    CURLU* url = curl_url();
    if (url == nullptr) {
        return {};
    }
    std::string resolved;
    char* text = nullptr;
    // Setting a relative reference on a handle holding the base resolves it (RFC 3986).
    if (curl_url_set(url, CURLUPART_URL, baseUrl.c_str(), 0) == CURLUE_OK &&
        curl_url_set(url, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK &&
        curl_url_get(url, CURLUPART_URL, &text, 0) == CURLUE_OK) {
        resolved = text;
    }
    curl_free(text);
    curl_url_cleanup(url);
    return IsSupportedUrl(resolved) ? resolved : std::string();
}

size_t CHttpRequest::OnHeaderLine(char* data, size_t size, size_t count, void* context) {
    auto* exchange = static_cast<Exchange*>(context);
    size_t length = size * count;
    exchange->lastActivity = Clock::now();
    std::string line(data, length);
    if (line.rfind("HTTP/", 0) == 0) {
        // A new response begins (an interim 1xx is followed by the final one).
        exchange->head = HttpResponseHead{};
        size_t space = line.find(' ');
        if (space != std::string::npos) {
            exchange->head.status = std::strtol(line.c_str() + space + 1, nullptr, 10);
        }
        return length;
    }
    std::string trimmed = Trim(line);
    if (trimmed.empty()) {
        // End of a head. Interim answers carry no decision; curl goes on to the final one.
        // Trailers after a chunked body end with a blank line too: the head is long decided.
        if (exchange->headDelivered ||
            (exchange->head.status < 200 && exchange->head.status != 0)) {
            return length;
        }
        exchange->headDelivered = true;
        if (!(*exchange->onHead)(exchange->head)) {
            exchange->declined = true;
            return 0;
        }
        return length;
    }
    size_t colon = trimmed.find(':');
    if (colon == std::string::npos) {
        return length;
    }
    std::string name = trimmed.substr(0, colon);
    std::string value = Trim(trimmed.substr(colon + 1));
    if (strcasecmp(name.c_str(), "Content-Length") == 0) {
        exchange->head.contentLength = ParseNumber(value);
    } else if (strcasecmp(name.c_str(), "Location") == 0) {
        exchange->head.location = value;
    } else if (strcasecmp(name.c_str(), "Content-Range") == 0) {
        // "bytes first-last/size"
        if (strncasecmp(value.c_str(), "bytes ", 6) == 0) {
            exchange->head.rangeStart = ParseNumber(Trim(value.substr(6)));
        }
    }
    return length;
}

size_t CHttpRequest::OnBodyChunk(char* data, size_t size, size_t count, void* context) {
    auto* exchange = static_cast<Exchange*>(context);
    size_t length = size * count;
    exchange->lastActivity = Clock::now();
    if (exchange->keepGoing->load() == 0) {
        exchange->stopRequested = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (!exchange->headDelivered) {
        // A body without a head (HTTP/0.9 style) is not something we accept.
        exchange->declined = true;
        return CURL_WRITEFUNC_ERROR;
    }
    if (length == 0) {
        return 0;
    }
    if (!(*exchange->onBody)(data, length)) {
        exchange->bodyRefused = true;
        return CURL_WRITEFUNC_ERROR;
    }
    return length;
}

HttpRequestResult CHttpRequest::Get(const std::string& url,
                                    const std::vector<std::string>& headerLines,
                                    const std::atomic<int>& keepGoing, unsigned stallMs,
                                    const HeadCallback& onHead, const BodyCallback& onBody) {
    if (!IsValid() || !IsSupportedUrl(url)) {
        return HttpRequestResult::Failed;
    }
    CURL* easy = static_cast<CURL*>(m_pEasy);
    CURLM* multi = static_cast<CURLM*>(m_pMulti);

    Exchange exchange;
    exchange.onHead = &onHead;
    exchange.onBody = &onBody;
    exchange.keepGoing = &keepGoing;

    curl_slist* headers = nullptr;
    for (const std::string& line : headerLines) {
        headers = curl_slist_append(headers, line.c_str());
    }

    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    // Redirects are followed by the caller, which keeps its own ".part" and hop count.
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CHttpRequest::OnHeaderLine);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &exchange);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CHttpRequest::OnBodyChunk);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &exchange);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!m_settings.certificateAuthorities.empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, m_settings.certificateAuthorities.c_str());
    }
    if (!m_settings.userAgent.empty()) {
        curl_easy_setopt(easy, CURLOPT_USERAGENT, m_settings.userAgent.c_str());
    }
    if (m_settings.direct) {
        curl_easy_setopt(easy, CURLOPT_PROXY, "");
    } else if (!m_settings.proxy.empty()) {
        curl_easy_setopt(easy, CURLOPT_PROXY, m_settings.proxy.c_str());
        if (m_settings.proxyUser) {
            curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, m_settings.proxyUser->c_str());
        }
        if (m_settings.proxyPassword) {
            curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, m_settings.proxyPassword->c_str());
        }
    }

    HttpRequestResult result = HttpRequestResult::Failed;
    if (curl_multi_add_handle(multi, easy) == CURLM_OK) {
        bool finished = false;
        CURLcode code = CURLE_OK;
        while (true) {
            int running = 0;
            if (curl_multi_perform(multi, &running) != CURLM_OK) {
                break;
            }
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg == CURLMSG_DONE) {
                    finished = true;
                    code = message->data.result;
                }
            }
            if (finished || running == 0) {
                finished = true;
                break;
            }
            if (keepGoing.load() == 0) {
                result = HttpRequestResult::Stopped;
                break;
            }
            auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(
                Clock::now() - exchange.lastActivity);
            if (silent.count() >= static_cast<long long>(stallMs)) {
                result = HttpRequestResult::Stalled;
                break;
            }
            curl_multi_poll(multi, nullptr, 0, kPollMs, nullptr);
        }
        curl_multi_remove_handle(multi, easy);
        if (finished) {
            if (exchange.stopRequested) {
                result = HttpRequestResult::Stopped;
            } else if (exchange.declined) {
                result = HttpRequestResult::Declined;
            } else if (exchange.bodyRefused) {
                result = HttpRequestResult::BodyFailed;
            } else if (code == CURLE_OK && exchange.headDelivered) {
                result = HttpRequestResult::Completed;
            } else {
                result = HttpRequestResult::Failed;
            }
        }
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_slist_free_all(headers);
    return result;
}
