// HTTP GET through WinINet. Its calls block, so they run on a wire thread of the exchange while
// the download thread hands the head and body to the caller and watches the keep-going flag,
// the stall bound and the minimum speed. Ending early marks the wire abandoned and closes its
// request handle, which ends a blocked call on Windows; where it does not (wine), the wire
// thread ends at its receive timeout or when the server closes, owning what it still uses.
#include "platform/http_request.h"

#include <windows.h>
#include <wincrypt.h>
#include <wininet.h>

#include <chrono>
#include <condition_variable>
#include <algorithm>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/http_head_fields.h"
#include "platform/http_transfer_watch.h"
#include "platform/text_encoding.h"

namespace {

using Clock = CHttpTransferWatch::Clock;

constexpr DWORD kReceiveBufferBytes = 512 * 1024;
// Chunks read ahead of the caller; the wire thread waits while this many are queued.
constexpr size_t kQueuedChunks = 4;
constexpr int kPollMs = 50;
// How long a stopped exchange waits for its wire thread before leaving it to end alone.
constexpr int kWireEndWaitMs = 1000;

// What the wire thread and the download thread share; the wire thread keeps it alive for as
// long as it runs.
struct Wire {
    std::wstring url;
    std::wstring headers;
    HttpRequestSettings settings;
    std::shared_ptr<void> session;
    HINTERNET connect = nullptr;
    HINTERNET request = nullptr;

    std::mutex mutex;
    std::condition_variable changed;
    bool headReady = false;
    std::string rawHead;
    bool bodyWanted = false;
    bool abandoned = false;
    std::deque<std::string> chunks;
    bool ended = false;
    bool failed = false;
    bool finished = false;
    Clock::time_point lastActivity = Clock::now();

    ~Wire() {
        if (request != nullptr) {
            InternetCloseHandle(request);
        }
        if (connect != nullptr) {
            InternetCloseHandle(connect);
        }
    }
    // Connect, send, then read while the body is wanted.
    void Transfer(DWORD timeoutMs);
    bool Open(DWORD timeoutMs);
    void Finish(bool failed);
    // Called by the download thread once it no longer waits for anything.
    void Abandon();
};

// The response head as WinINet keeps it, lines ending in CRLF; empty when it has none.
std::string RawHead(HINTERNET request) {
    DWORD size = 0;
    HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
    if (size == 0) {
        return {};
    }
    std::string text(size, '\0');
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, text.data(), &size, nullptr)) {
        return {};
    }
    text.resize(size);
    return text;
}

// "Proxy-Authorization: Basic ..." for user:password.
std::wstring BasicProxyAuthorization(const std::string& user, const std::string& password) {
    const std::string pair = user + ":" + password;
    DWORD size = 0;
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    auto* bytes = reinterpret_cast<const BYTE*>(pair.data());
    if (!CryptBinaryToStringW(bytes, static_cast<DWORD>(pair.size()), flags, nullptr, &size)) {
        return {};
    }
    std::wstring encoded(size, L'\0');
    if (!CryptBinaryToStringW(bytes, static_cast<DWORD>(pair.size()), flags, encoded.data(),
                              &size)) {
        return {};
    }
    encoded.resize(size);
    return L"Proxy-Authorization: Basic " + encoded + L"\r\n";
}

void SetTimeouts(HINTERNET handle, DWORD ms) {
    InternetSetOptionW(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof(ms));
    InternetSetOptionW(handle, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof(ms));
    InternetSetOptionW(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof(ms));
}

}  // namespace

struct CHttpRequest::Connection {
    // Shared with wire threads that may outlive a stopped exchange.
    std::shared_ptr<void> session;
};

struct CHttpRequest::Exchange {
    const std::atomic<int>* keepGoing = nullptr;
    const HeadCallback* onHead = nullptr;
    const BodyCallback* onBody = nullptr;
    std::shared_ptr<Wire> pWire = std::make_shared<Wire>();
    Wire& wire = *pWire;
    // The body bytes the head promises (Content-Length, else the Content-Range span).
    std::optional<uint64_t> expected;
    uint64_t received = 0;
    CHttpTransferWatch watch;

    // Runs on the download thread until the exchange has its outcome.
    HttpRequestResult Drive(const HttpTransferLimits& limits);
    HttpRequestResult DeliverHead(const std::string& rawHead);
};

HttpRequestResult CHttpRequest::Exchange::DeliverHead(const std::string& rawHead) {
    HttpResponseHead head;
    std::optional<uint64_t> rangeEnd;
    if (!ParseHttpHead(rawHead, &head, &rangeEnd)) {
        return HttpRequestResult::Failed;
    }
    if (head.contentLength) {
        expected = head.contentLength;
    } else if (head.status == 206 && rangeEnd && head.rangeStart && *rangeEnd >= *head.rangeStart) {
        expected = *rangeEnd - *head.rangeStart + 1;
    }
    return (*onHead)(head) ? HttpRequestResult::Completed : HttpRequestResult::Declined;
}

HttpRequestResult CHttpRequest::Exchange::Drive(const HttpTransferLimits& limits) {
    bool headDelivered = false;
    while (true) {
        std::unique_lock<std::mutex> lock(wire.mutex);
        wire.changed.wait_for(lock, std::chrono::milliseconds(kPollMs), [this, headDelivered] {
            return (wire.headReady && !headDelivered) || !wire.chunks.empty() || wire.ended;
        });
        if (wire.headReady && !headDelivered) {
            headDelivered = true;
            std::string rawHead = wire.rawHead;
            watch.Counted(rawHead.size());
            lock.unlock();
            HttpRequestResult decided = DeliverHead(rawHead);
            if (decided != HttpRequestResult::Completed) {
                return decided;
            }
            lock.lock();
            wire.bodyWanted = true;
            wire.changed.notify_all();
        }
        if (!wire.chunks.empty()) {
            std::string chunk = std::move(wire.chunks.front());
            wire.chunks.pop_front();
            wire.changed.notify_all();
            lock.unlock();
            if (keepGoing->load() == 0) {
                return HttpRequestResult::Stopped;
            }
            watch.Counted(chunk.size());
            // Bytes past the promised length are not part of this answer.
            size_t take = chunk.size();
            if (expected && received + take > *expected) {
                take = static_cast<size_t>(*expected - received);
            }
            received += take;
            if (take != 0 && !(*onBody)(chunk.data(), take)) {
                return HttpRequestResult::BodyFailed;
            }
            if (expected && received == *expected) {
                return HttpRequestResult::Completed;
            }
            continue;
        }
        if (wire.ended) {
            // WinINet reads a connection closed early as the end of the body: only the count
            // tells a cut body from a whole one.
            const bool whole = !expected || received == *expected;
            return !wire.failed && headDelivered && whole ? HttpRequestResult::Completed
                                                          : HttpRequestResult::Failed;
        }
        Clock::time_point lastActivity = wire.lastActivity;
        lock.unlock();
        HttpRequestResult limit = watch.Check(limits, *keepGoing, lastActivity);
        if (limit != HttpRequestResult::Completed) {
            return limit;
        }
    }
}

bool Wire::Open(DWORD timeoutMs) {
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    wchar_t host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {};
    parts.lpszHostName = host;
    parts.dwHostNameLength = INTERNET_MAX_HOST_NAME_LENGTH + 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(url.c_str(), 0, 0, &parts)) {
        return false;
    }
    std::wstring target(parts.lpszUrlPath, parts.dwUrlPathLength);
    target.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.empty()) {
        target = L"/";
    }
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    connect = InternetConnectW(session.get(), host, parts.nPort, nullptr, nullptr,
                               INTERNET_SERVICE_HTTP, 0, 0);
    if (connect == nullptr) {
        return false;
    }
    // Redirects are followed by the caller, which keeps its own ".part" and hop count; the
    // cache and the cookie jar stay out of downloads.
    DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_COOKIES |
                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_KEEP_CONNECTION |
                  (secure ? INTERNET_FLAG_SECURE : 0);
    std::lock_guard<std::mutex> lock(mutex);
    if (abandoned) {
        return false;
    }
    request =
        HttpOpenRequestW(connect, L"GET", target.c_str(), nullptr, nullptr, nullptr, flags, 0);
    if (request == nullptr) {
        return false;
    }
    SetTimeouts(request, timeoutMs);
    if (settings.proxyUser) {
        std::wstring user = Utf8ToWide(*settings.proxyUser);
        InternetSetOptionW(request, INTERNET_OPTION_PROXY_USERNAME, user.data(),
                           static_cast<DWORD>(user.size()));
    }
    if (settings.proxyPassword) {
        std::wstring password = Utf8ToWide(*settings.proxyPassword);
        InternetSetOptionW(request, INTERNET_OPTION_PROXY_PASSWORD, password.data(),
                           static_cast<DWORD>(password.size()));
    }
    // WinINet answers a proxy's challenge with these; a plain http request through a proxy
    // carries them at once, as the proxy reads that request itself (never inside a tunnel).
    if (!secure && settings.proxyUser && !settings.direct && !settings.proxy.empty()) {
        headers += BasicProxyAuthorization(*settings.proxyUser,
                                           settings.proxyPassword.value_or(std::string()));
    }
    return true;
}

void Wire::Finish(bool failedTransfer) {
    std::lock_guard<std::mutex> lock(mutex);
    ended = true;
    failed = failedTransfer;
    changed.notify_all();
}

void Wire::Abandon() {
    std::lock_guard<std::mutex> lock(mutex);
    abandoned = true;
    changed.notify_all();
    // Ends a call still blocked on this request (on Windows; wine lets it run to its timeout).
    if (!ended && request != nullptr) {
        InternetCloseHandle(request);
        request = nullptr;
    }
}

void Wire::Transfer(DWORD timeoutMs) {
    if (!Open(timeoutMs)) {
        Finish(true);
        return;
    }
    if (!HttpSendRequestW(request, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr,
                          0)) {
        Finish(true);
        return;
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (abandoned) {
            return;
        }
        rawHead = RawHead(request);
        headReady = true;
        lastActivity = Clock::now();
        changed.notify_all();
        changed.wait(lock, [this] { return bodyWanted || abandoned; });
        if (abandoned) {
            return;
        }
    }
    std::string buffer(kReceiveBufferBytes, '\0');
    while (true) {
        // Waits for what has arrived and reads just that: a full-buffer read would block until
        // the buffer fills, hiding progress from the download thread.
        DWORD available = 0;
        DWORD got = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0) ||
            !InternetReadFile(request, buffer.data(), std::min(available, kReceiveBufferBytes),
                              &got)) {
            Finish(true);
            return;
        }
        if (got == 0) {
            // A clean end as WinINet sees it; the download thread checks the promised length.
            Finish(false);
            return;
        }
        std::unique_lock<std::mutex> lock(mutex);
        lastActivity = Clock::now();
        chunks.emplace_back(buffer.data(), got);
        changed.notify_all();
        changed.wait(lock, [this] { return chunks.size() < kQueuedChunks || abandoned; });
        if (abandoned) {
            return;
        }
    }
}

bool CHttpRequest::InitializeLibrary() {
    return true;
}

CHttpRequest::CHttpRequest(HttpRequestSettings settings) : m_settings(std::move(settings)) {
    m_pConnection = std::make_unique<Connection>();
    std::wstring agent = Utf8ToWide(m_settings.userAgent);
    std::wstring proxy = Utf8ToWide(m_settings.proxy);
    HINTERNET session = nullptr;
    if (m_settings.direct) {
        session = InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    } else if (!proxy.empty()) {
        session = InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), nullptr, 0);
    } else {
        session = InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    }
    if (session != nullptr) {
        m_pConnection->session.reset(session, [](void* handle) { InternetCloseHandle(handle); });
    }
}

CHttpRequest::~CHttpRequest() = default;

bool CHttpRequest::IsValid() const {
    return m_pConnection->session != nullptr;
}

bool CHttpRequest::IsSupportedUrl(const std::string& url) {
    return _strnicmp(url.c_str(), "http://", 7) == 0 || _strnicmp(url.c_str(), "https://", 8) == 0;
}

std::string CHttpRequest::ResolveLocation(const std::string& baseUrl, const std::string& location) {
    if (!IsSupportedUrl(baseUrl)) {
        return {};
    }
    std::wstring base = Utf8ToWide(baseUrl);
    std::wstring relative = Utf8ToWide(location);
    DWORD size = INTERNET_MAX_URL_LENGTH;
    std::wstring combined(size, L'\0');
    if (!InternetCombineUrlW(base.c_str(), relative.c_str(), combined.data(), &size,
                             ICU_NO_ENCODE)) {
        return {};
    }
    combined.resize(size);
    std::string resolved = WideToUtf8(combined);
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
    Wire& wire = exchange.wire;
    wire.url = Utf8ToWide(url);
    for (const std::string& line : headerLines) {
        wire.headers += Utf8ToWide(line) + L"\r\n";
    }
    wire.settings = m_settings;
    wire.session = m_pConnection->session;
    exchange.keepGoing = &keepGoing;
    exchange.onHead = &onHead;
    exchange.onBody = &onBody;
    return RunExchange(exchange, limits);
}

HttpRequestResult CHttpRequest::RunExchange(Exchange& exchange, const HttpTransferLimits& limits) {
    std::shared_ptr<Wire> wire = exchange.pWire;
    const DWORD timeoutMs = limits.stallMs;
    std::thread wireThread([wire, timeoutMs] {
        wire->Transfer(timeoutMs);
        std::lock_guard<std::mutex> lock(wire->mutex);
        wire->finished = true;
        wire->changed.notify_all();
    });
    HttpRequestResult result = exchange.Drive(limits);
    wire->Abandon();
    // A wire thread that does not notice in time ends on its own; it owns what it still uses.
    std::unique_lock<std::mutex> lock(wire->mutex);
    if (wire->changed.wait_for(lock, std::chrono::milliseconds(kWireEndWaitMs),
                               [&wire] { return wire->finished; })) {
        lock.unlock();
        wireThread.join();
    } else {
        lock.unlock();
        wireThread.detach();
    }
    return result;
}
