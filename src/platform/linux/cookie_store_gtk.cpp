// The shared cookie store for the cookie commands: the same store the pages use.
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
};

}  // namespace

bool GetCookieText(const std::wstring& url, std::wstring* text) {
    text->clear();
    auto reply = std::make_shared<CookieReply>();
    auto* keep = new std::shared_ptr<CookieReply>(reply);
    webkit_cookie_manager_get_cookies(
        SharedCookies(), WideToUtf8(url).c_str(), nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<CookieReply>> owner(
                static_cast<std::shared_ptr<CookieReply>*>(data));
            CookieReply& answer = **owner;
            GList* cookies = webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(source),
                                                                      result, nullptr);
            for (GList* item = cookies; item != nullptr; item = item->next) {
                auto* cookie = static_cast<SoupCookie*>(item->data);
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
        keep);
    if (!gtk::WaitForBrowser([&] { return reply->done; }, kCookieTimeoutMs)) {
        return false;
    }
    *text = Utf8ToWide(reply->text.c_str());
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
