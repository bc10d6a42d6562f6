// The shared cookie store for the cookie commands: the same store the pages use. HttpOnly
// cookies stay out of the commands' reach, as they stay out of document.cookie.
#include <libsoup/soup.h>

#include <memory>
#include <string>

#include "platform/text_encoding.h"
#include "platform/linux/web_context_gtk.h"
#include "platform/web_view.h"

namespace platform {
namespace {

constexpr unsigned kCookieTimeoutMs = 5000;

WebKitCookieManager* SharedCookies() {
    return webkit_website_data_manager_get_cookie_manager(
        webkit_web_context_get_website_data_manager(gtk::GetSharedWebContext()));
}

// Shared with the callback, which may come after a wait has given up.
struct CookieReply {
    GList* (*finish)(WebKitCookieManager*, GAsyncResult*, GError**) = nullptr;
    bool done = false;
    bool ok = false;
    GList* cookies = nullptr;
    ~CookieReply() {
        g_list_free_full(cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
    }
};

void OnCookiesListed(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::shared_ptr<CookieReply>> owner(
        static_cast<std::shared_ptr<CookieReply>*>(data));
    CookieReply& reply = **owner;
    reply.cookies = reply.finish(WEBKIT_COOKIE_MANAGER(source), result, nullptr);
    reply.done = true;
}

// The cookies a request to url would carry, or with no url every cookie of the store; null
// when the store did not answer in time.
std::shared_ptr<CookieReply> ListCookies(const std::wstring* url) {
    auto reply = std::make_shared<CookieReply>();
    auto* keep = new std::shared_ptr<CookieReply>(reply);
    if (url != nullptr) {
        reply->finish = webkit_cookie_manager_get_cookies_finish;
        webkit_cookie_manager_get_cookies(SharedCookies(), WideToUtf8(*url).c_str(), nullptr,
                                          OnCookiesListed, keep);
    } else {
        reply->finish = webkit_cookie_manager_get_all_cookies_finish;
        webkit_cookie_manager_get_all_cookies(SharedCookies(), nullptr, OnCookiesListed, keep);
    }
    if (!gtk::WaitForBrowser([&] { return reply->done; }, kCookieTimeoutMs)) {
        return nullptr;
    }
    return reply;
}

// Whether b lies at or below a as cookie paths go ("/acct" holds "/acct/x", not "/acctx").
bool PathHolds(const std::string& a, const std::string& b) {
    if (a.empty()) {
        return true;
    }
    return b.compare(0, a.size(), a) == 0 &&
           (b.size() == a.size() || a.back() == '/' || b[a.size()] == '/');
}

std::string HostOf(SoupCookie* cookie) {
    const char* domain = soup_cookie_get_domain(cookie);
    return domain[0] == '.' ? domain + 1 : domain;
}

// The name a server reads: a cookie without one is sent as its bare value, so "=sid=x" arrives
// as sid=x.
std::string SentName(SoupCookie* cookie) {
    std::string name = soup_cookie_get_name(cookie);
    if (name.empty()) {
        name = soup_cookie_get_value(cookie);
        name = name.substr(0, name.find('='));
    }
    const size_t first = name.find_first_not_of(" \t");
    return first == std::string::npos
               ? std::string()
               : name.substr(first, name.find_last_not_of(" \t") - first + 1);
}

// Whether storing added would replace, delete or shadow the HttpOnly cookie existing: the same
// name as a server may read it (some ignore case), sent to the caller's URL or sent with added
// to some request (domains and paths meet).
bool WouldTouchHttpOnly(SoupCookie* existing, SoupCookie* added, GUri* caller) {
    if (!soup_cookie_get_http_only(existing) ||
        g_ascii_strcasecmp(SentName(existing).c_str(), SentName(added).c_str()) != 0) {
        return false;
    }
    if (soup_cookie_applies_to_uri(existing, caller)) {
        return true;
    }
    const bool domainsMeet = soup_cookie_domain_matches(existing, HostOf(added).c_str()) ||
                             soup_cookie_domain_matches(added, HostOf(existing).c_str());
    const std::string existingPath = soup_cookie_get_path(existing);
    const std::string addedPath = soup_cookie_get_path(added);
    return domainsMeet &&
           (PathHolds(existingPath, addedPath) || PathHolds(addedPath, existingPath));
}

// url as an http or https address with a host, else null: about:, file: and the like name no
// host to keep cookies for (and the cookie parser complains of them). Free with g_uri_unref.
GUri* ParseWebAddress(const std::wstring& url) {
    GUri* parsed = g_uri_parse(WideToUtf8(url).c_str(), G_URI_FLAGS_NONE, nullptr);
    if (parsed == nullptr) {
        return nullptr;
    }
    const char* host = g_uri_get_host(parsed);
    const char* scheme = g_uri_get_scheme(parsed);
    if (host == nullptr || *host == '\0' ||
        (g_ascii_strcasecmp(scheme, "http") != 0 && g_ascii_strcasecmp(scheme, "https") != 0)) {
        g_uri_unref(parsed);
        return nullptr;
    }
    return parsed;
}

}  // namespace

bool GetCookieText(const std::wstring& url, std::wstring* text) {
    text->clear();
    const std::shared_ptr<CookieReply> reply = ListCookies(&url);
    if (reply == nullptr) {
        return false;
    }
    std::string visible;
    for (GList* item = reply->cookies; item != nullptr; item = item->next) {
        auto* cookie = static_cast<SoupCookie*>(item->data);
        if (soup_cookie_get_http_only(cookie)) {
            continue;
        }
        visible += visible.empty() ? "" : "; ";
        visible += std::string(soup_cookie_get_name(cookie)) + "=" + soup_cookie_get_value(cookie);
    }
    *text = Utf8ToWide(visible.c_str());
    return !text->empty();
}

// The whole store is searched for HttpOnly cookies the new one meets, so every host its Domain=
// covers is checked without naming them.
bool SetCookieText(const std::wstring& url, const std::wstring& name, const std::wstring& data,
                   const std::vector<std::wstring>&) {
    GUri* caller = ParseWebAddress(url);
    if (caller == nullptr) {
        return false;
    }
    std::string header = WideToUtf8(name.empty() ? data : name + L"=" + data);
    SoupCookie* cookie = soup_cookie_parse(header.c_str(), caller);
    // Neither planting an HttpOnly cookie nor touching one a server set, wherever the cookie's
    // own Domain= and Path= put it.
    bool refused = cookie == nullptr || soup_cookie_get_http_only(cookie);
    if (!refused) {
        const std::shared_ptr<CookieReply> all = ListCookies(nullptr);
        refused = all == nullptr;
        for (GList* item = all != nullptr ? all->cookies : nullptr; item != nullptr && !refused;
             item = item->next) {
            refused = WouldTouchHttpOnly(static_cast<SoupCookie*>(item->data), cookie, caller);
        }
    }
    g_uri_unref(caller);
    if (refused) {
        if (cookie != nullptr) {
            soup_cookie_free(cookie);
        }
        return false;
    }
    auto reply = std::make_shared<CookieReply>();
    auto* keep = new std::shared_ptr<CookieReply>(reply);
    webkit_cookie_manager_add_cookie(
        SharedCookies(), cookie, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<CookieReply>> owner(
                static_cast<std::shared_ptr<CookieReply>*>(data));
            (*owner)->ok = webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(source),
                                                                   result, nullptr);
            (*owner)->done = true;
        },
        keep);
    soup_cookie_free(cookie);
    return gtk::WaitForBrowser([&] { return reply->done; }, kCookieTimeoutMs) && reply->ok;
}

}  // namespace platform
