// The shared cookie store: what the cookie functions write, pages read, and the other way
// round, over a real HTTP server on 127.0.0.1.
#include <gtest/gtest.h>
#include <libsoup/soup.h>

#include <memory>
#include <string>

#include "gui_support.h"
#include "platform/linux/web_view_gtk.h"
#include "platform/text_encoding.h"
#include "platform/web_view.h"
#include "web_test_support.h"

namespace {

class CTitleEvents : public platform::IWebViewEvents {
public:
    void OnTitleChanged(const std::wstring& title) override { m_strTitle = title; }
    void OnNavigationCommitted(const std::wstring&) override {}
    void OnLoadFinished(const std::wstring&) override {}
    void OnLoadFailed(const std::wstring&) override {}
    bool OnBeforeNavigate(const std::wstring&, const std::wstring&) override { return false; }
    HRESULT OnExternalLookUp(const std::wstring&) override { return DISP_E_UNKNOWNNAME; }
    HRESULT OnExternalCall(const std::wstring&, WORD, const std::vector<VARIANT>&,
                           VARIANT*) override {
        return DISP_E_UNKNOWNNAME;
    }
    std::wstring m_strTitle;
};

// Serves one page that shows the cookies it got and sets one of its own.
void ServeCookiePage(SoupServer*, SoupServerMessage* message, const char*, GHashTable*, gpointer) {
    static const char kPage[] =
        "<html><body><script>var seen=document.cookie;"
        "document.cookie='fromPage=2; max-age=3600';"
        "document.title='done:'+seen;</script></body></html>";
    soup_server_message_set_status(message, 200, nullptr);
    soup_server_message_set_response(message, "text/html", SOUP_MEMORY_STATIC, kPage,
                                     sizeof(kPage) - 1);
}

}  // namespace

TEST(CookieStore, CommandsAndPagesShareOneStore) {
    SoupServer* server = soup_server_new(nullptr, nullptr);
    soup_server_add_handler(server, "/", ServeCookiePage, nullptr, nullptr);
    GError* error = nullptr;
    ASSERT_TRUE(soup_server_listen_local(server, 0, SOUP_SERVER_LISTEN_IPV4_ONLY, &error));
    GSList* uris = soup_server_get_uris(server);
    ASSERT_NE(uris, nullptr);
    int port = g_uri_get_port(static_cast<GUri*>(uris->data));
    g_slist_free_full(uris, reinterpret_cast<GDestroyNotify>(g_uri_unref));
    std::wstring url = L"http://127.0.0.1:" + std::to_wstring(port) + L"/";

    std::wstring text = L"unchanged";
    EXPECT_FALSE(platform::GetCookieText(url, &text));
    EXPECT_EQ(text, L"");
    EXPECT_TRUE(platform::SetCookieText(url, L"fromCommand", L"1; max-age=3600"));
    EXPECT_TRUE(platform::SetCookieText(url, L"second", L"x y"));
    ASSERT_TRUE(platform::GetCookieText(url, &text));
    EXPECT_EQ(text, L"fromCommand=1; second=x y");
    // Cookies of other hosts stay apart.
    EXPECT_FALSE(
        platform::GetCookieText(L"http://localhost:" + std::to_wstring(port) + L"/", &text));
    EXPECT_FALSE(platform::SetCookieText(L"not a url", L"a", L"1"));
    // Addresses without a web host keep no cookies (and make the cookie parser complain).
    for (const wchar_t* hostless : {L"about:blank", L"mailto:a@b.example", L"file:///tmp/x"}) {
        EXPECT_FALSE(platform::SetCookieText(hostless, L"a", L"1")) << WideToUtf8(hostless);
        EXPECT_FALSE(platform::GetCookieText(hostless, &text)) << WideToUtf8(hostless);
    }

    CTitleEvents events;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    auto view = std::make_unique<platform::gtk::CWebViewGtk>(&events);
    gtk_container_add(GTK_CONTAINER(window), view->GetWidget());
    gtk_widget_show_all(window);
    view->Navigate(url + L"page");
    ASSERT_TRUE(PumpUntil([&] { return events.m_strTitle.rfind(L"done:", 0) == 0; }, 15000));
    EXPECT_EQ(events.m_strTitle, L"done:fromCommand=1; second=x y");
    ASSERT_TRUE(platform::GetCookieText(url, &text));
    EXPECT_NE(text.find(L"fromPage=2"), std::wstring::npos) << WideToUtf8(text);
    // Kept on disk in the web data folder, for the next start.
    EXPECT_TRUE(
        g_file_test((GuiWorkDir() + "/webdata/cookies.sqlite").c_str(), G_FILE_TEST_IS_REGULAR));
    view.reset();
    gtk_widget_destroy(window);
    soup_server_disconnect(server);
    g_object_unref(server);
}
