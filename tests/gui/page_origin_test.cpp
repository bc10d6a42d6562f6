// Who gets window.external: pages of two origins on 127.0.0.1, one of them the service's
// (trusted), the other foreign, in a real view.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "gui_support.h"
#include "platform/linux/web_view_gtk.h"
#include "platform/module.h"
#include "support/test_http_server.h"
#include "unit/stand_in_browser.h"
#include "web_test_support.h"

using testsupport::HttpTestRequest;
using webtest::CReturnCommand;
using webtest::HtmlReply;
using webtest::kHarness;

namespace {

// What a document says about its own window.external: "none", or "calls" with the answer.
constexpr const char kProbe[] =
    "function probe(){var e=window.external;if(!e||typeof e.Ret!=='function')return 'none';"
    "try{return 'calls:'+e.Ret('probe');}catch(x){return 'refused';}}";

// A frame that tells its parent what it sees.
std::string ReportingFrame(const std::string& name) {
    return std::string("<script>") + kProbe + "parent.postMessage('" + name +
           "='+probe(),'*');</script>";
}

class PageOrigins : public ::testing::Test {
protected:
    void SetUp() override {
        platform::CTrustedPages trusted;
        trusted.AddHost(L"127.0.0.1:" + std::to_wstring(m_service.Port()));
        m_pView = webtest::ShowViewInWindow(&m_events, trusted, &m_pWindow);
        m_events.m_dispatch.RegisterHandler(&m_ret);
    }
    void TearDown() override {
        m_pView.reset();
        gtk_widget_destroy(m_pWindow);
    }
    void Serve(testsupport::TestHttpServer& server, const std::string& path, std::string html) {
        server.On(path, [html](const HttpTestRequest&) { return HtmlReply(html); });
    }
    // Shows url and waits for its "done:" title; returns the rest.
    std::wstring RunPage(const std::wstring& url) {
        m_events.m_strTitle.clear();
        m_pView->Navigate(url);
        bool done = PumpUntil([&] { return m_events.m_strTitle.rfind(L"done:", 0) == 0; }, 15000);
        EXPECT_TRUE(done) << "no result from " << WideToUtf8(url) << "; title "
                          << WideToUtf8(m_events.m_strTitle);
        return done ? m_events.m_strTitle.substr(5) : L"";
    }
    std::string Marker(platform::gtk::CWebViewGtk& view) {
        auto* marker = static_cast<const char*>(
            g_object_get_data(G_OBJECT(view.GetWidget()), "songdeck-bridge-marker"));
        return marker != nullptr ? marker : "";
    }
    // The marker as a script string literal.
    static std::string Quoted(const std::string& marker) {
        std::string text = "'\\x01" + marker.substr(1) + "'";
        return text;
    }

    testsupport::TestHttpServer m_service;
    testsupport::TestHttpServer m_foreign;
    webtest::CRecordingEvents m_events;
    CReturnCommand m_ret{L"Ret"};
    GtkWidget* m_pWindow = nullptr;
    std::unique_ptr<platform::gtk::CWebViewGtk> m_pView;
};

}  // namespace

TEST_F(PageOrigins, OnlyTheServicesOwnFramesReachTheCommands) {
    Serve(m_service, "/own", ReportingFrame("own"));
    Serve(m_service, "/sandboxed", ReportingFrame("sandboxed"));
    Serve(m_foreign, "/frame", ReportingFrame("foreign"));
    std::string frameScript = ReportingFrame("data");
    gchar* dataUrl = g_uri_escape_string(frameScript.c_str(), nullptr, FALSE);
    Serve(m_service, "/top",
          std::string("<html><head>") + kHarness + "<script>" + kProbe +
              "</script></head><body><iframe src='/own'></iframe>"
              "<iframe sandbox='allow-scripts' src='/sandboxed'></iframe>"
              "<iframe src='" +
              m_foreign.Url("/frame") +
              "'></iframe>"
              "<iframe srcdoc=\"<script>" +
              kProbe +
              "parent.postMessage('srcdoc='+probe(),'*');</script>\"></iframe>"
              "<iframe src='data:text/html," +
              dataUrl +
              "'></iframe><script>var seen=[];"
              "onmessage=function(m){seen.push(m.data);if(seen.length==5){seen.sort();"
              "done(['top='+probe()].concat(seen));}};</script></body></html>");
    g_free(dataUrl);
    EXPECT_EQ(RunPage(m_service.WideUrl("/top")),
              L"top=calls:probe|data=none|foreign=none|own=calls:probe|sandboxed=none|"
              L"srcdoc=none");
    EXPECT_EQ(m_ret.m_nCalls, 2);
    // The service's own frame reports its load; foreign frames report nothing.
    EXPECT_TRUE(
        PumpUntil([&] { return m_events.Logged(L"3 " + m_service.WideUrl("/own")); }, 5000));
    EXPECT_FALSE(m_events.Logged(L"3 " + m_foreign.WideUrl("/frame")));
    EXPECT_FALSE(m_events.Logged(L"3 " + m_service.WideUrl("/sandboxed")));
}

TEST_F(PageOrigins, AForeignTopPageGetsNothingEvenWithTheViewsMarker) {
    std::string marker = Marker(*m_pView);
    ASSERT_FALSE(marker.empty());
    // A marker replayed by a foreign page, claiming to be the service's page.
    Serve(m_foreign, "/top",
          std::string("<html><head>") + kHarness + "<script>" + kProbe +
              "</script></head><body><script>done([probe(),prompt(" + Quoted(marker) +
              "+'[\"c\",\"Ret\",1,[\"leaked\"],\"" + m_service.Url("/top") +
              "\"]')]);</script></body></html>");
    EXPECT_EQ(RunPage(m_foreign.WideUrl("/top")), L"none|{\"h\":-2147352570}");
    EXPECT_EQ(m_ret.m_nCalls, 0);

    // Another view's marker means nothing to this one: the page's prompt stays a prompt.
    platform::gtk::CWebViewGtk other(nullptr);
    std::string otherMarker = Marker(other);
    ASSERT_NE(otherMarker, marker);
    m_pView->SetSilent(true);
    Serve(m_service, "/replay",
          std::string("<html><head>") + kHarness + "</head><body><script>done([String(prompt(" +
              Quoted(otherMarker) + "+'[\"c\",\"Ret\",1,[\"x\"],\"" + m_service.Url("/replay") +
              "\"]'))]);</script></body></html>");
    EXPECT_EQ(RunPage(m_service.WideUrl("/replay")), L"null");
    EXPECT_EQ(m_ret.m_nCalls, 0);
}

TEST_F(PageOrigins, AForeignFrameThatMovesTheTopLeavesNoBridgedForeignPage) {
    Serve(m_foreign, "/landing",
          std::string("<html><head><script>") + kProbe +
              "</script></head><body><script>document.title='landed:'+probe();</script>"
              "</body></html>");
    Serve(m_foreign, "/jumper",
          "<a id='a' href='" + m_foreign.Url("/landing") +
              "' target='_top'>go</a><script>document.getElementById('a').click();"
              "setTimeout(function(){top.location='" +
              m_foreign.Url("/landing") + "';},100);</script>");
    Serve(m_service, "/host",
          std::string("<html><head>") + kHarness + "</head><body><iframe src='" +
              m_foreign.Url("/jumper") + "'></iframe></body></html>");
    m_pView->Navigate(m_service.WideUrl("/host"));
    // Whether the browser lets the frame move the top or not, no foreign page has members.
    bool landed = PumpUntil([&] { return m_events.m_strTitle.rfind(L"landed:", 0) == 0; }, 3000);
    if (landed) {
        EXPECT_EQ(m_events.m_strTitle, L"landed:none");
    } else {
        EXPECT_EQ(m_pView->GetUrl(), m_service.WideUrl("/host"));
    }
    EXPECT_EQ(m_ret.m_nCalls, 0);
}

TEST_F(PageOrigins, DownloadsStartedByAPageWriteNothing) {
    std::string name = "songdeck-download-" + std::to_string(getpid());
    auto attachment = [name](const HttpTestRequest&) {
        testsupport::HttpTestReply reply = testsupport::HttpTestReply::Text(200, "payload");
        reply.headers.emplace_back("Content-Type", "application/octet-stream");
        reply.headers.emplace_back("Content-Disposition",
                                   "attachment; filename=\"" + name + "-a.bin\"");
        return reply;
    };
    m_service.On("/attachment", attachment);
    m_service.On("/file.bin", attachment);
    Serve(m_service, "/offer",
          std::string("<html><head>") + kHarness + "</head><body><a id='d' download='" + name +
              "-d.bin' href='/file.bin'>d</a><a id='e' href='/attachment'>e</a><script>"
              "document.getElementById('d').click();"
              "setTimeout(function(){document.getElementById('e').click();},200);"
              "setTimeout(function(){done(['stayed']);},1500);</script></body></html>");
    EXPECT_EQ(RunPage(m_service.WideUrl("/offer")), L"stayed");
    // Both were asked for, and neither reached a file.
    EXPECT_TRUE(PumpUntil([&] { return !m_service.RequestsFor("/attachment").empty(); }, 5000));
    PumpFor(1000);
    for (const char* folder :
         {g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD), g_get_home_dir(), "/tmp"}) {
        if (folder == nullptr) {
            continue;
        }
        for (const char* suffix : {"-a.bin", "-d.bin"}) {
            std::string path = std::string(folder) + "/" + name + suffix;
            EXPECT_FALSE(g_file_test(path.c_str(), G_FILE_TEST_EXISTS)) << path;
        }
    }
    EXPECT_EQ(m_pView->GetUrl(), m_service.WideUrl("/offer"));
}

// Runs in a process of its own (GLib reads the XDG folders once per process), where the
// desktop's association picks a stand-in browser that writes down what it was asked to open.
TEST_F(PageOrigins, ALinkTheUserClicksOpensInTheUsersBrowserAndScriptOpensNothing) {
    const char* browserLog = std::getenv("SONGDECK_TEST_BROWSER_LOG");
    if (browserLog == nullptr) {
        TempFolder home;
        WriteStandInBrowser(home, "echo \"$1\" >> \"$(dirname \"$0\")/opened.txt\"\n");
        std::string command =
            "env SONGDECK_TEST_BROWSER_LOG='" + (home.path() / "opened.txt").string() +
            "' XDG_DATA_HOME='" + (home.path() / "data").string() + "' XDG_CONFIG_HOME='" +
            (home.path() / "config").string() + "' XDG_DATA_DIRS=/usr/local/share:/usr/share '" +
            WideToUtf8(GetModulePath(nullptr)) + "' --gtest_filter=" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "." +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
        bool ran = false;
        std::string output = RunCommand(command, &ran, 60000);
        EXPECT_TRUE(ran) << output;
        std::string opened;
        PumpUntil(
            [&] {
                opened = home.Read("opened.txt");
                return !opened.empty();
            },
            5000);
        // One address, the clicked one; the script's window.open reached no browser.
        EXPECT_TRUE(opened.rfind("http://127.0.0.1:", 0) == 0 &&
                    opened.find("/clicked\n") == opened.size() - 9 &&
                    std::count(opened.begin(), opened.end(), '\n') == 1)
            << opened;
        return;
    }
    gtk_window_set_title(GTK_WINDOW(m_pWindow), "songdeck-click-test");
    Serve(m_service, "/links",
          std::string("<html><head>") + kHarness +
              "</head><body style='margin:0'><a id='l' href='" + m_foreign.Url("/clicked") +
              "' target='_blank' style='display:block;width:100vw;height:100vh'>open</a>"
              "<script>onload=function(){window.open('" +
              m_foreign.Url("/scripted") +
              "');document.title='done:ready';};</script></body></html>");
    ASSERT_EQ(RunPage(m_service.WideUrl("/links")), L"ready");
    bool clicked = false;
    RunCommand(
        "xdotool search --sync --name songdeck-click-test windowactivate --sync "
        "mousemove --window %1 120 120 click 1",
        &clicked);
    EXPECT_TRUE(clicked);
    PumpFor(1500);
    // The client's page stayed, and no window opened beside it.
    EXPECT_EQ(m_pView->GetUrl(), m_service.WideUrl("/links"));
    int visible = 0;
    GList* windows = gtk_window_list_toplevels();
    for (GList* w = windows; w != nullptr; w = w->next) {
        visible += gtk_widget_get_visible(GTK_WIDGET(w->data)) ? 1 : 0;
    }
    g_list_free(windows);
    EXPECT_EQ(visible, 1);
}
