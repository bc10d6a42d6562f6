#include "platform/linux/web_context_gtk.h"

#include <glib/gstdio.h>

#include <string>

#include "platform/text_encoding.h"
#include "platform/web_view.h"

namespace platform {
namespace {

std::string& WebDataDirectory() {
    static std::string folder;
    return folder;
}

// The pages ask for their size and never scroll as a whole, as the windows show them.
constexpr const char kNoScrollBars[] = ":root { overflow: hidden !important; }";

}  // namespace

void SetWebDataDirectory(const std::wstring& folder) {
    if (WebDataDirectory().empty()) {
        WebDataDirectory() = WideToUtf8(folder);
    }
}

bool IsWebDataDirectorySet() {
    return !WebDataDirectory().empty();
}

namespace gtk {

namespace {

std::string WebDataFolder() {
    std::string folder = WebDataDirectory();
    if (folder.empty()) {
        gchar* fallback = g_build_filename(g_get_user_data_dir(), "SongDeck", "webdata", nullptr);
        folder = fallback;
        g_free(fallback);
    }
    return folder;
}

}  // namespace

WebKitWebContext* PeekSharedWebContext() {
    static WebKitWebContext* context = [] {
        const std::string folder = WebDataFolder();
        g_mkdir_with_parents(folder.c_str(), 0700);
        gchar* cache = g_build_filename(folder.c_str(), "cache", nullptr);
        WebKitWebsiteDataManager* data = webkit_website_data_manager_new(
            "base-data-directory", folder.c_str(), "base-cache-directory", cache, nullptr);
        g_free(cache);
        WebKitWebContext* shared = webkit_web_context_new_with_website_data_manager(data);
        g_object_unref(data);
        // Pages never save files on their own: a page that offers a file opens it in the
        // user's browser.
        g_signal_connect(shared, "download-started",
                         G_CALLBACK(+[](WebKitWebContext*, WebKitDownload* download, gpointer) {
                             webkit_download_cancel(download);
                         }),
                         nullptr);
        return shared;
    }();
    return context;
}

WebKitWebContext* GetSharedWebContext() {
    static WebKitWebContext* context = [] {
        WebKitWebContext* shared = PeekSharedWebContext();
        gchar* cookies = g_build_filename(WebDataFolder().c_str(), "cookies.sqlite", nullptr);
        webkit_cookie_manager_set_persistent_storage(
            webkit_website_data_manager_get_cookie_manager(
                webkit_web_context_get_website_data_manager(shared)),
            cookies, WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
        g_free(cookies);
        return shared;
    }();
    return context;
}

WebKitUserContentManager* CreateUserContent() {
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    WebKitUserStyleSheet* sheet =
        webkit_user_style_sheet_new(kNoScrollBars, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                    WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
    webkit_user_content_manager_add_style_sheet(manager, sheet);
    webkit_user_style_sheet_unref(sheet);
    return manager;
}

bool WaitForBrowser(const std::function<bool()>& done, unsigned timeoutMs) {
    gint64 deadline = g_get_monotonic_time() + gint64(timeoutMs) * 1000;
    // A ticking source wakes the loop so the deadline is seen even when nothing happens.
    guint tick = g_timeout_add(
        10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    while (!done() && g_get_monotonic_time() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(tick);
    return done();
}

}  // namespace gtk
}  // namespace platform
