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
    bool done = false;
    bool ok = false;
    std::string text;
    bool httpOnlyNamed = false;
};

// Asks the store for url's cookies: their script-visible text, and whether an HttpOnly one is
// called name (when name is given). False when the store did not answer in time.
bool QueryCookies(const std::wstring& url, const std::string* name, CookieReply* out) {
    auto reply = std::make_shared<CookieReply>();
    struct Request {
        std::shared_ptr<CookieReply> reply;
        std::string name;
        bool byName;
    };
    auto* request = new Request{reply, name != nullptr ? *name : std::string(), name != nullptr};
    webkit_cookie_manager_get_cookies(
        SharedCookies(), WideToUtf8(url).c_str(), nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<Request> owner(static_cast<Request*>(data));
            CookieReply& answer = *owner->reply;
            GList* cookies = webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(source),
                                                                      result, nullptr);
            for (GList* item = cookies; item != nullptr; item = item->next) {
                auto* cookie = static_cast<SoupCookie*>(item->data);
                if (soup_cookie_get_http_only(cookie)) {
                    answer.httpOnlyNamed =
                        answer.httpOnlyNamed ||
                        (owner->byName && owner->name == soup_cookie_get_name(cookie));
                    continue;
                }
                if (!answer.text.empty()) {
                    answer.text += "; ";
                }
                answer.text += soup_cookie_get_name(cookie);
                answer.text += "=";
                answer.text += soup_cookie_get_value(cookie);
            }
            g_list_free_full(cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
            answer.ok = true;
            answer.done = true;
        },
        request);
    if (!gtk::WaitForBrowser([&] { return reply->done; }, kCookieTimeoutMs)) {
        return false;
    }
    *out = *reply;
    return true;
}

}  // namespace

bool GetCookieText(const std::wstring& url, std::wstring* text) {
    text->clear();
    CookieReply reply;
    if (!QueryCookies(url, nullptr, &reply)) {
        return false;
    }
    *text = Utf8ToWide(reply.text.c_str());
    return !text->empty();
}

bool SetCookieText(const std::wstring& url, const std::wstring& name, const std::wstring& data) {
    GUri* origin = g_uri_parse(WideToUtf8(url).c_str(), G_URI_FLAGS_NONE, nullptr);
    if (origin == nullptr) {
        return false;
    }
    std::string header = WideToUtf8(name.empty() ? data : name + L"=" + data);
    SoupCookie* cookie = soup_cookie_parse(header.c_str(), origin);
    g_uri_unref(origin);
    if (cookie == nullptr) {
        return false;
    }
    // Neither planting an HttpOnly cookie nor replacing one a server set.
    CookieReply existing;
    std::string cookieName = soup_cookie_get_name(cookie);
    if (soup_cookie_get_http_only(cookie) || !QueryCookies(url, &cookieName, &existing) ||
        existing.httpOnlyNamed) {
        soup_cookie_free(cookie);
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
