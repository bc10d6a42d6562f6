// The WebKit view and its window.external bridge, in a bare GTK window.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "browser/external_call.h"
#include "browser/main_dispatch_imp.h"
#include "platform/linux/web_view_gtk.h"
#include "gui_support.h"
#include "web_test_support.h"

using webtest::CActionCommand;
using webtest::CEchoTypesCommand;
using webtest::CRecordingEvents;
using webtest::CReturnCommand;
using webtest::kHarness;

namespace {

class WebViewBridge : public ::testing::Test {
protected:
    void SetUp() override {
        platform::CTrustedPages trusted;
        trusted.AddFolder(Utf8ToWide(m_pages.Dir()));
        m_pView = webtest::ShowViewInWindow(&m_events, trusted, &m_pWindow);
        m_events.m_dispatch.RegisterHandler(&m_types);
        m_events.m_dispatch.RegisterHandler(&m_ret);
        m_events.m_dispatch.RegisterHandler(&m_fail);
    }
    void TearDown() override {
        m_pView.reset();
        if (m_pWindow != nullptr) {
            gtk_widget_destroy(m_pWindow);
        }
    }
    // Loads the page and waits for its "done:" title; returns the results part.
    std::wstring RunPage(const std::string& body, int timeoutMs = 15000) {
        m_events.m_strTitle.clear();
        m_pView->Navigate(m_pages.Write(
            "page.html",
            std::string("<html><head>") + kHarness + "</head><body>" + body + "</body></html>"));
        bool done =
            PumpUntil([&] { return m_events.m_strTitle.rfind(L"done:", 0) == 0; }, timeoutMs);
        EXPECT_TRUE(done) << "the page did not finish; title " << WideToUtf8(m_events.m_strTitle);
        return done ? m_events.m_strTitle.substr(5) : L"";
    }

    webtest::CPageFolder m_pages;
    CRecordingEvents m_events;
    CEchoTypesCommand m_types{L"Types"};
    CReturnCommand m_ret{L"Ret"};
    CReturnCommand m_fail{L"Fail", E_NOTIMPL};
    GtkWidget* m_pWindow = nullptr;
    std::unique_ptr<platform::gtk::CWebViewGtk> m_pView;
};

}  // namespace

TEST_F(WebViewBridge, ArgumentsResultsAndErrorsCrossWithTheirTypes) {
    std::wstring results = RunPage(
        "<script>var r=[];"
        "r.push(t(()=>external.Types('a',1,-2147483648,2147483648,1.5,true,false,null,undefined)));"
        "r.push(t(()=>external.Types()));"
        "r.push(t(()=>String(external.Types)));"
        "r.push(t(()=>external.Types=='get'));"
        "r.push(t(()=>typeof external.Nope));"
        "r.push(t(()=>typeof external.types));"
        "r.push(t(()=>'Types' in external));"
        "r.push(t(()=>external.Ret(5)===5&&external.Ret(1.25)===1.25&&external.Ret(true)===true"
        "&&external.Ret(null)===undefined&&external.Ret('x')==='x'&&isNaN(external.Ret(NaN))));"
        "r.push(t(()=>external.Fail(1)));"
        "r.push(t(()=>external.Nope()));"
        "r.push(t(()=>external.Ret({a:1})));"
        "r.push(t(()=>external.Ret(function(){})));"
        "r.push(t(()=>external.Ret([1],2)));"
        "r.push(t(()=>external.Ret(Symbol('s'))));"
        "r.push(t(()=>external.Ret()));"
        "r.push(t(()=>window.external===external&&typeof window.external));"
        "done(r);</script>");
    EXPECT_EQ(results,
              L"call:8:3:3:5:5:11:11:0:0|call|get|true|undefined|undefined|true|true|E80004001"
              L"|E0|E80020005|E80020005|E80020005|E80020005|E80004005|object");
}

TEST_F(WebViewBridge, TextSurvivesUnchangedAndHugeTextIsRefused) {
    std::wstring results = RunPage(
        "<script>var r=[];"
        "var s='a\\u0000b\\ud800c\\udc00\\u4e2d\\ud83d\\ude00\"\\\\\\n\\u2028\\u00e9';"
        "r.push(t(()=>external.Ret(s)===s));"
        "var big='x'.repeat(1<<20)+'\\u4e2d';"
        "r.push(t(()=>external.Ret(big)===big));"
        "r.push(t(()=>external.Ret('y'.repeat(17*1024*1024))));"
        "r.push(t(()=>external.Ret('still')));"
        "done(r);</script>",
        60000);
    EXPECT_EQ(results, L"true|true|E80004005|still");
}

TEST_F(WebViewBridge, PagePromptsStayPromptsAndSilenceAnswersThemUnseen) {
    std::string seen;
    g_signal_connect(
        m_pView->GetWidget(), "script-dialog",
        G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* dialog, gpointer data) {
            *static_cast<std::string*>(data) = webkit_script_dialog_get_message(dialog);
            if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_PROMPT) {
                webkit_script_dialog_prompt_set_text(dialog, "typed");
            }
            return TRUE;
        }),
        &seen);
    std::wstring results = RunPage(
        "<script>var r=[];"
        "r.push(t(()=>prompt('\\u0001songdeck-bridge:forged:[\"c\",\"Ret\",1,[1]]','d')));"
        "r.push(t(()=>external.Ret('bridge')));"
        "done(r);</script>");
    EXPECT_EQ(results, L"typed|bridge");
    EXPECT_EQ(seen, "\x01songdeck-bridge:forged:[\"c\",\"Ret\",1,[1]]");
    EXPECT_EQ(m_ret.m_nCalls, 1);

    seen.clear();
    m_pView->SetSilent(true);
    results = RunPage(
        "<script>var r=[];"
        "r.push(t(()=>prompt('q','d')));r.push(t(()=>confirm('c')));r.push(t(()=>alert('a')));"
        "r.push(t(()=>external.Ret('bridge')));"
        "done(r);</script>");
    EXPECT_EQ(results, L"null|false|undefined|bridge");
    EXPECT_EQ(seen, "");
}

TEST_F(WebViewBridge, ACallMayRunANestedLoopOrCloseTheView) {
    bool ticked = false;
    CActionCommand nested(L"Nested", [&] {
        g_timeout_add(
            50,
            [](gpointer flag) -> gboolean {
                *static_cast<bool*>(flag) = true;
                return G_SOURCE_REMOVE;
            },
            &ticked);
        PumpUntil([&] { return ticked; }, 3000);
    });
    m_events.m_dispatch.RegisterHandler(&nested);
    EXPECT_EQ(RunPage("<script>done([t(()=>external.Nested())]);</script>"), L"after");
    EXPECT_TRUE(ticked);

    CActionCommand close(L"Close", [&] {
        m_pView.reset();
        gtk_widget_destroy(m_pWindow);
        m_pWindow = nullptr;
    });
    m_events.m_dispatch.RegisterHandler(&close);
    m_events.m_strTitle.clear();
    m_pView->Navigate(
        m_pages.Write("close.html", "<script>external.Close();external.Ret('late');</script>"));
    EXPECT_TRUE(PumpUntil([&] { return m_pView == nullptr; }, 10000));
    // The page is gone with its view: nothing more reaches the commands.
    PumpFor(300);
    EXPECT_EQ(m_ret.m_nCalls, 0);
}

TEST_F(WebViewBridge, LoadEventsAndFailuresWithoutTheErrorPage) {
    std::wstring page = m_pages.Write("events.html", "<title>First title</title>hello");
    m_pView->Navigate(page);
    ASSERT_TRUE(PumpUntil(
        [&] { return m_events.Logged(L"3 " + page) && m_events.m_strTitle == L"First title"; },
        10000));
    EXPECT_TRUE(m_events.Logged(L"0 " + page));
    EXPECT_TRUE(m_events.Logged(L"2 " + page));
    EXPECT_EQ(m_pView->GetUrl(), page);

    m_events.m_log.clear();
    std::wstring missing = Utf8ToWide(m_pages.Dir()) + L"/missing.html";
    m_pView->Navigate(missing);
    ASSERT_TRUE(PumpUntil([&] { return m_events.Logged(L"4 " + missing); }, 10000));
    // The browser's error page that follows is not a completed navigation.
    PumpFor(500);
    EXPECT_FALSE(m_events.Logged(L"3 " + missing));
    EXPECT_FALSE(m_events.Logged(L"2 " + missing));

    // An owner that goes elsewhere on an error gets its page, not the error page.
    std::wstring fallback = m_pages.Write("fallback.html", "<title>Fallback</title>");
    m_events.m_onFailure = [&] { m_pView->Navigate(fallback); };
    m_pView->Navigate(missing);
    ASSERT_TRUE(PumpUntil([&] { return m_events.Logged(L"3 " + fallback); }, 10000));
    EXPECT_EQ(m_pView->GetUrl(), fallback);
    m_events.m_onFailure = nullptr;
}

TEST_F(WebViewBridge, PagesOpenNoWindowsInsideTheClient) {
    auto countWindows = [] {
        GList* windows = gtk_window_list_toplevels();
        int visible = 0;
        for (GList* w = windows; w != nullptr; w = w->next) {
            visible += gtk_widget_get_visible(GTK_WIDGET(w->data)) ? 1 : 0;
        }
        g_list_free(windows);
        return visible;
    };
    const int before = countWindows();
    m_pages.Write("other.html",
                  "<title>Other window</title><script>opener&&opener.external"
                  "&&opener.external.Ret('from the popup');</script>");
    m_pages.Write("framed.html", "<script>for(var i=0;i<5;i++)window.open('other.html');</script>");
    std::wstring results = RunPage(
        "<a id='l' href='other.html' target='_blank'>x</a><iframe src='framed.html'></iframe>"
        "<script>onload=function(){var r=[];"
        "for(var i=0;i<5;i++)r.push(String(window.open('other.html')));"
        "r.push(String(window.open('http://127.0.0.1:9/')));"
        "document.getElementById('l').click();done(r);};</script>");
    EXPECT_EQ(results, L"null|null|null|null|null|null");
    PumpFor(1000);
    EXPECT_EQ(countWindows(), before);
    EXPECT_EQ(m_ret.m_nCalls, 0);
    // The page itself stayed where it was.
    EXPECT_NE(m_pView->GetUrl().find(L"page.html"), std::wstring::npos);
}

TEST_F(WebViewBridge, OnlyPagesAndFilesAreNavigatedTo) {
    std::wstring start = m_pages.Write("start.html", "<title>start</title>");
    m_pView->Navigate(start);
    ASSERT_TRUE(PumpUntil([&] { return m_events.Logged(L"3 " + start); }, 10000));
    m_events.m_log.clear();
    // Each is reported as a failed load before Navigate returns, and nothing else happens.
    std::vector<std::wstring> expected;
    for (const wchar_t* refused :
         {L"javascript:document.title='ran'", L"data:text/html,<title>data</title>", L"about:blank",
          L"relative/page.html", L"ftp://127.0.0.1/x", L"httpx://127.0.0.1/x", L"http//127.0.0.1/",
          L""}) {
        m_pView->Navigate(refused);
        expected.push_back(std::wstring(L"4 ") + refused);
        EXPECT_EQ(m_events.m_log, expected);
    }
    PumpFor(700);
    EXPECT_EQ(m_pView->GetUrl(), start);
    EXPECT_EQ(m_events.m_strTitle, L"start");
    EXPECT_EQ(m_events.m_log, expected);
    // A file: URL is a local page too.
    std::wstring second = m_pages.Write("second.html", "<title>second</title>");
    m_pView->Navigate(L"file://" + second);
    EXPECT_TRUE(PumpUntil([&] { return m_events.Logged(L"3 " + second); }, 10000));
}

TEST_F(WebViewBridge, PagesShowNoScrollBarsEvenWhenTallerThanTheView) {
    EXPECT_EQ(RunPage("<div style='width:3000px;height:3000px'></div><script>onload=function(){"
                      "done([getComputedStyle(document.documentElement).overflow,"
                      "innerWidth-document.scrollingElement.clientWidth,"
                      "innerHeight-document.scrollingElement.clientHeight]);};</script>"),
              L"hidden|0|0");
}
