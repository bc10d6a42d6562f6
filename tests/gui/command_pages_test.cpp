// The script commands as pages meet them in real windows: cookies shared with the pages (and
// HttpOnly ones out of reach), and message popups that end beside the panel and free
// themselves.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "app/environment.h"
#include "app/helpers.h"
#include "browser/iewapper_wnd.h"
#include "browser/main_dispatch_imp.h"
#include "commands/cookie_commands.h"
#include "commands/show_message_wnd_command.h"
#include "commands/window_commands.h"
#include "gui_support.h"
#include "platform/linux/web_context_gtk.h"
#include "platform/linux/window_registry.h"
#include "platform/logger.h"
#include "platform/text_encoding.h"
#include "platform/ui.h"
#include "support/test_http_server.h"
#include "web_test_support.h"
#include "windows/message_wnd.h"

using testsupport::HttpTestReply;
using testsupport::HttpTestRequest;
using testsupport::TestHttpServer;

namespace {

HttpTestReply Html(std::string body, std::vector<std::pair<std::string, std::string>> extra = {}) {
    HttpTestReply reply = HttpTestReply::Text(200, std::move(body));
    reply.headers.emplace_back("Content-Type", "text/html; charset=utf-8");
    reply.headers.insert(reply.headers.end(), extra.begin(), extra.end());
    return reply;
}

// A page window offering the main window's cookie and popup commands.
class CCommandPageWnd : public CIEWapperWnd {
public:
    CCommandPageWnd() {
        m_pDispatch = new CMainDispatchImp;
        m_pDispatch->RegisterHandler(&m_showMessageWnd);
        m_pDispatch->RegisterHandler(&m_getCookie);
        m_pDispatch->RegisterHandler(&m_setCookie);
        m_htmlCtrl.m_pExternalDispatch = m_pDispatch;
    }
    ~CCommandPageWnd() override {
        if (m_hWnd != nullptr) {
            DestroyWindow();
        }
        delete m_pDispatch;
    }
    // Runs the page and returns the text its done() published.
    std::wstring Run(const std::wstring& url) {
        NavigateTo(url);
        bool done = PumpUntil([&] { return GetWindowText().rfind(L"done:", 0) == 0; }, 20000);
        EXPECT_TRUE(done) << "window text " << WideToUtf8(GetWindowText());
        return done ? GetWindowText().substr(5) : L"";
    }

    CMainDispatchImp* m_pDispatch = nullptr;
    CInvokeHandler_ShowMessageWnd m_showMessageWnd{L"ShowMessageWnd"};
    CInvokeHandler_GetCookie m_getCookie{L"GetCookie"};
    CInvokeHandler_SetCookie m_setCookie{L"SetCookie"};
};

// A popup that tells when it has deleted itself.
class CCountedPopup : public CMessageWnd {
public:
    explicit CCountedPopup(int* deleted) : m_pDeleted(deleted) {}
    ~CCountedPopup() override { ++*m_pDeleted; }

private:
    int* m_pDeleted;
};

class CommandPages : public ::testing::Test {
protected:
    void SetUp() override {
        // The test server stands for the service's web host, whose pages the client trusts.
        std::ofstream(m_testIni) << "[CLIENT_PROFILE_SHEET]\nWEB_HOST=127.0.0.1:" << m_server.Port()
                                 << "\n";
        Logger::instance().SetFile(Utf8ToWide(m_logPath));
        ASSERT_TRUE(m_wnd.CreateEx(0, L"SongDeckCommandPage", L"", 0x86C8C000 | WS_VISIBLE,
                                   RECT{0, 0, 480, 320}, nullptr, 0));
    }
    void TearDown() override {
        m_wnd.DestroyWindow();
        std::remove(m_testIni.c_str());
        Logger::instance().SetFile(GetUserDataDir() + L"SongDeck.log");
    }
    std::string Log() const {
        std::ifstream file(m_logPath);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // Where a popup of width × height ends: beside the session's bottom panel, 3 pixels off.
    RECT ExpectedPopupRect(int width, int height) const {
        RECT workArea{};
        EXPECT_TRUE(GetWorkArea(&workArea));
        return RECT{workArea.right - 3 - width, workArea.bottom - 3 - height, workArea.right - 3,
                    workArea.bottom - 3};
    }

    const std::string m_logPath = GuiWorkDir() + "/command_pages.log";
    const std::string m_testIni = WideToUtf8(GetModuleDirectory(nullptr)) + "test.ini";
    TestHttpServer m_server;
    CCommandPageWnd m_wnd;
};

// Cookies of 127.0.0.1 are shared by every port: the next test starts without this one's.
void ClearAllCookies() {
    bool cleared = false;
    webkit_website_data_manager_clear(
        webkit_web_context_get_website_data_manager(platform::gtk::GetSharedWebContext()),
        WEBKIT_WEBSITE_DATA_COOKIES, 0, nullptr,
        [](GObject* manager, GAsyncResult* result, gpointer done) {
            webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(manager), result,
                                                     nullptr);
            *static_cast<bool*>(done) = true;
        },
        &cleared);
    EXPECT_TRUE(PumpUntil([&] { return cleared; }, 5000)) << "cookies were not cleared";
}

// Runs a desktop tool every 100 ms until its output satisfies done: the tool blocks the loop
// while it runs, so it must leave the pages time to load in between.
std::string PollTool(const std::string& command,
                     const std::function<bool(const std::string&)>& done, int timeoutMs) {
    std::string output;
    for (int waited = 0; waited < timeoutMs; waited += 100) {
        output = RunCommand(command);
        if (done(output)) {
            break;
        }
        PumpFor(100);
    }
    return output;
}

void ExpectRectEq(const RECT& actual, const RECT& expected) {
    EXPECT_EQ(actual.left, expected.left);
    EXPECT_EQ(actual.top, expected.top);
    EXPECT_EQ(actual.right, expected.right);
    EXPECT_EQ(actual.bottom, expected.bottom);
}

}  // namespace

TEST_F(CommandPages, PagesAndCookieCommandsShareCookiesButHttpOnlyOnesStayOutOfReach) {
    m_server.On("/page", [](const HttpTestRequest&) {
        return Html(std::string("<html><head>") + webtest::kHarness +
                        "</head><body><script>"
                        "var u=location.origin+'/',r=[];"
                        "document.cookie='fromPage=2; path=/';"
                        "r.push(t(()=>external.GetCookie(u,'fromPage')));"
                        "r.push(t(()=>external.GetCookie(u,'visible')));"
                        "r.push(t(()=>external.GetCookie(u,'sid')));"
                        "r.push(t(()=>external.SetCookie(u,'fromCommand','3; path=/')));"
                        "r.push(document.cookie.split('; ').sort().join(','));"
                        "r.push(t(()=>external.SetCookie(u,'sid','stolen; path=/')));"
                        "r.push(t(()=>external.SetCookie(u,'planted','x; path=/; HttpOnly')));"
                        "var x=new XMLHttpRequest();x.open('GET','/echo',false);x.send();"
                        "r.push(x.responseText.split('; ').sort().join(','));"
                        "done(r);</script></body></html>",
                    {{"Set-Cookie", "sid=secret-session; Path=/; HttpOnly"},
                     {"Set-Cookie", "visible=1; Path=/"}});
    });
    m_server.On("/echo", [](const HttpTestRequest& request) {
        return HttpTestReply::Text(200, request.Header("Cookie"));
    });
    EXPECT_EQ(m_wnd.Run(m_server.WideUrl("/page")),
              L"2|1||true|fromCommand=3,fromPage=2,visible=1|true|true|"
              L"fromCommand=3,fromPage=2,sid=secret-session,visible=1");
    const std::string log = Log();
    EXPECT_NE(log.find("call GetCookie, URL=" + m_server.Url("/") +
                       ", CookieName=fromPage, CookieData length:1"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("CookieName=sid, CookieData length:14, refused by the cookie store"),
              std::string::npos)
        << log;
    EXPECT_EQ(log.find("secret-session"), std::string::npos);
    EXPECT_EQ(log.find("stolen"), std::string::npos);
    ClearAllCookies();
}

TEST_F(CommandPages, AnHttpOnlyCookieAtAPathIsNeitherReplacedNorShadowedThroughPathAttributes) {
    m_server.On("/acct/login", [](const HttpTestRequest&) {
        return Html(std::string("<html><head>") + webtest::kHarness +
                        "</head><body><script>"
                        "var u=location.origin+'/',r=[];"
                        "external.SetCookie(u,'sid','x; Path=/acct');"
                        "external.SetCookie(u,'sid','x; Path=/acct; Max-Age=0');"
                        "external.SetCookie(u,'','sid=x; Path=/acct');"
                        "external.SetCookie(u,'','=sid=x; Path=/acct');"
                        "external.SetCookie(u,'SID','x; Path=/acct');"
                        "external.SetCookie(u,'sid','x; Path=/acct/deeper');"
                        "external.SetCookie(u,'sid','x; Path=/');"
                        "external.SetCookie(u,'sid','kept; Path=/other');"
                        "r.push(t(()=>external.GetCookie(location.origin+'/acct/','sid')));"
                        "r.push(t(()=>external.GetCookie(location.origin+'/other/','sid')));"
                        "var x=new XMLHttpRequest();x.open('GET','/acct/deeper/echo',false);"
                        "x.send();r.push(x.responseText.split('; ').sort().join(','));"
                        "done(r);</script></body></html>",
                    {{"Set-Cookie", "sid=secret-session; Path=/acct; HttpOnly"},
                     {"Set-Cookie", "pref=1; Path=/acct"}});
    });
    m_server.On("/acct/deeper/echo", [](const HttpTestRequest& request) {
        return HttpTestReply::Text(200, request.Header("Cookie"));
    });
    // Only the cookie at a path the server's never reaches is stored; the server's own goes
    // on alone, still out of the page's reach.
    EXPECT_EQ(m_wnd.Run(m_server.WideUrl("/acct/login")), L"|kept|pref=1,sid=secret-session");
    std::istringstream log(Log());
    int refusals = 0;
    for (std::string line; std::getline(log, line);) {
        refusals +=
            line.find("call SetCookie, URL=" + m_server.Url("/") + ",") != std::string::npos &&
            line.find("refused by the cookie store") != std::string::npos;
    }
    EXPECT_EQ(refusals, 7) << Log();
    ClearAllCookies();
}

TEST_F(CommandPages, ShowMessageWndOpensAPopupBesideThePanelThatItsPageCloses) {
    m_server.On("/popup.html", [](const HttpTestRequest& request) {
        return Html(
            "<html><head><title>popup-" + request.target.substr(request.target.find('?') + 1) +
            "</title></head><body style=\"margin:0;background:#1f7a5c\">"
            "<script>setTimeout(function(){external.CloseWnd();},4000);</script></body></html>");
    });
    const std::string url = m_server.Url("/popup.html");
    m_server.On("/opener", [url](const HttpTestRequest&) {
        return Html(std::string("<html><head>") + webtest::kHarness +
                    "</head><body><script>done([" + "t(()=>external.ShowMessageWnd('" + url +
                    "?a',250,150))," + "t(()=>external.ShowMessageWnd('" + url +
                    "?b',250,150))]);" + "</script></body></html>");
    });
    EXPECT_EQ(m_wnd.Run(m_server.WideUrl("/opener")), L"undefined|undefined");

    // Both popups come up at the same place, fully slid in, without a taskbar entry.
    const RECT expected = ExpectedPopupRect(250, 150);
    for (const char* name : {"popup-a", "popup-b"}) {
        std::string id = PollTool(
            std::string("xdotool search --onlyvisible --name '^") + name + "$'",
            [](const std::string& found) { return !found.empty(); }, 10000);
        ASSERT_FALSE(id.empty()) << name << " did not show";
        id = id.substr(0, id.find('\n'));
        std::string geometry = PollTool(
            "xdotool getwindowgeometry --shell " + id,
            [](const std::string& g) { return g.find("HEIGHT=150") != std::string::npos; }, 5000);
        EXPECT_NE(geometry.find("X=" + std::to_string(expected.left) + "\n"), std::string::npos)
            << geometry;
        EXPECT_NE(geometry.find("Y=" + std::to_string(expected.top) + "\n"), std::string::npos)
            << geometry;
        EXPECT_NE(geometry.find("WIDTH=250"), std::string::npos) << geometry;
        std::string state = RunCommand("xprop -id " + id + " _NET_WM_STATE");
        EXPECT_NE(state.find("_NET_WM_STATE_SKIP_TASKBAR"), std::string::npos) << state;
        EXPECT_NE(state.find("_NET_WM_STATE_ABOVE"), std::string::npos) << state;
    }
    EXPECT_FALSE(TakeScreenshot("message_popups").empty());
    // Their pages close them: they slide out and are gone.
    EXPECT_EQ(PollTool(
                  "xdotool search --name '^popup-[ab]$'",
                  [](const std::string& found) { return found.empty(); }, 15000),
              "");
    const std::string log = Log();
    EXPECT_NE(log.find("call ShowMessageWnd, URL:" + url + "?a, Width:250, Height:150"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("call CloseWnd, window:popup-b"), std::string::npos) << log;
}

TEST_F(CommandPages, APopupThatCannotShowItsPageIsGoneBeforeTheCallReturns) {
    // A page beside the executable but outside res/, which ".." once reached.
    const std::string outside = WideToUtf8(GetModuleDirectory(nullptr)) + "outside.html";
    std::ofstream(outside) << "<html><head><title>outside</title></head><body></body></html>";
    const std::string port = std::to_string(m_server.Port());
    std::string calls;
    for (const std::string& url : std::vector<std::string>{
             "res/../outside.html", "res\\\\..\\\\outside.html", "res/%2e%2e/outside.html",
             "res/.../outside.html", "/etc/hostname", "httpx://127.0.0.1:" + port + "/p",
             "http//127.0.0.1:" + port + "/p", "javascript:document.title=1"}) {
        calls += "t(()=>external.ShowMessageWnd('" + url + "',200,100)),";
    }
    m_server.On("/opener", [calls](const HttpTestRequest&) {
        return Html(std::string("<html><head>") + webtest::kHarness +
                    "</head><body><script>done([" + calls +
                    "document.title]);</script></body></html>");
    });
    const size_t windowsBefore = WindowRegistry::WindowsOfThread(platform::GetUiThreadId()).size();
    EXPECT_EQ(m_wnd.Run(m_server.WideUrl("/opener")),
              L"undefined|undefined|undefined|undefined|undefined|undefined|undefined|undefined|");
    // Every popup and its browser control went with the call that made it.
    EXPECT_EQ(WindowRegistry::WindowsOfThread(platform::GetUiThreadId()).size(), windowsBefore);
    PumpFor(1000);
    EXPECT_EQ(RunCommand("xdotool search --onlyvisible --name '^outside$'"), "");
    std::remove(outside.c_str());
    const std::string log = Log();
    EXPECT_NE(log.find("call ShowMessageWnd, URL:res/../outside.html refused: not a page of res"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("URL:res/.../outside.html refused"), std::string::npos) << log;
    EXPECT_EQ(log.find("URL:httpx://127.0.0.1:" + port + "/p refused"), std::string::npos) << log;
    EXPECT_TRUE(m_server.RequestsFor("/p").empty());
}

TEST_F(CommandPages, APopupCreatedWithoutASizeTakesItsPagesAndDeletesItselfWhenClosed) {
    webtest::CPageFolder pages;
    const std::wstring page =
        pages.Write("update.html",
                    "<html><head><title>sized</title></head>"
                    "<body style=\"width:300px;height:200px;margin:0;background:#345\">"
                    "</body></html>");
    int deleted = 0;
    auto* popup = new CCountedPopup(&deleted);
    ASSERT_TRUE(popup->Create(0, 0));
    popup->NavigateTo(page);
    const RECT expected = ExpectedPopupRect(300, 200);
    RECT rect{};
    EXPECT_TRUE(PumpUntil(
        [&] {
            popup->GetWindowRect(&rect);
            return popup->IsWindowVisible() && rect.top == expected.top;
        },
        10000));
    ExpectRectEq(rect, expected);
    EXPECT_EQ(popup->m_rcTarget.top, expected.top);
    EXPECT_EQ(popup->GetExStyle() & WS_EX_TOOLWINDOW, WS_EX_TOOLWINDOW);
    popup->PostMessage(WM_CLOSE);
    // It slides out over about 40 ticks, then is destroyed and frees itself.
    EXPECT_TRUE(PumpUntil([&] { return deleted == 1; }, 5000));
}

TEST_F(CommandPages, ACloseDuringTheSlideInOrWithoutAnimationEndsThePopupCleanly) {
    webtest::CPageFolder pages;
    const std::wstring page = pages.Write("plain.html", "<html><body>hello</body></html>");
    int deleted = 0;
    auto* sliding = new CCountedPopup(&deleted);
    ASSERT_TRUE(sliding->Create(250, 150));
    sliding->NavigateTo(page);
    ASSERT_TRUE(PumpUntil([&] { return sliding->IsWindowVisible() != FALSE; }, 10000));
    sliding->PostMessage(WM_CLOSE);
    EXPECT_TRUE(PumpUntil([&] { return deleted == 1; }, 5000));

    auto* instant = new CCountedPopup(&deleted);
    ASSERT_TRUE(instant->Create(250, 150));
    instant->m_bAnimateClose = FALSE;
    instant->NavigateTo(page);
    ASSERT_TRUE(PumpUntil([&] { return instant->IsWindowVisible() != FALSE; }, 10000));
    instant->SendMessage(WM_CLOSE);
    EXPECT_EQ(deleted, 2);
}

TEST_F(CommandPages, AFrameThatLoadsDuringTheSlideInDoesNotCutThePopupShort) {
    webtest::CPageFolder pages;
    pages.Write("frame.html", "<html><body>frame</body></html>");
    const std::wstring page =
        pages.Write("late_frame.html",
                    "<html><body style=\"margin:0\"><script>setTimeout(function(){"
                    "var f=document.createElement('iframe');f.src='frame.html';"
                    "document.body.appendChild(f);},120);</script></body></html>");
    int deleted = 0;
    auto* popup = new CCountedPopup(&deleted);
    ASSERT_TRUE(popup->Create(250, 150));
    popup->NavigateTo(page);
    const RECT expected = ExpectedPopupRect(250, 150);
    RECT rect{};
    PumpUntil([&] { return popup->IsWindowVisible() != FALSE; }, 10000);
    // Long enough for the frame and any slide it might restart.
    PumpFor(1500);
    popup->GetWindowRect(&rect);
    ExpectRectEq(rect, expected);
    popup->PostMessage(WM_CLOSE);
    EXPECT_TRUE(PumpUntil([&] { return deleted == 1; }, 5000));
}

TEST_F(CommandPages, AlertShowsTheCaptionAndTextInThatOrderAndLogsAfterTheBoxCloses) {
    CInvokeHandler_Alert alert(L"Alert");
    m_wnd.m_pDispatch->RegisterHandler(&alert);
    struct Seen {
        std::vector<platform::testing::OpenMessageBox> boxes;
        int triesLeft = 200;
    } seen;
    g_timeout_add(
        50,
        [](gpointer data) -> gboolean {
            auto* state = static_cast<Seen*>(data);
            auto boxes = platform::testing::ListMessageBoxes();
            if (!boxes.empty()) {
                state->boxes = boxes;
                platform::testing::PressMessageBoxButton(boxes.front().caption, IDOK);
                return G_SOURCE_REMOVE;
            }
            return --state->triesLeft > 0 ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        },
        &seen);
    webtest::CPageFolder pages;
    EXPECT_EQ(
        m_wnd.Run(pages.Write(
            "alert.html", std::string("<html><head><meta charset=\"utf-8\">") + webtest::kHarness +
                              "</head><body><script>done([t(()=>external.Alert("
                              "'\xE6\x8F\x90\xE7\xA4\xBA','Saved.')),"
                              "t(()=>external.Alert('only one'))]);</script></body></html>")),
        L"undefined|E80004005");
    ASSERT_EQ(seen.boxes.size(), 1u);
    EXPECT_EQ(seen.boxes.front().caption, L"\u63D0\u793A");
    EXPECT_EQ(seen.boxes.front().text, L"Saved.");
    EXPECT_NE(Log().find("call Alert, Caption=\xE6\x8F\x90\xE7\xA4\xBA, text=Saved."),
              std::string::npos)
        << Log();
    seen.triesLeft = 0;
}

TEST_F(CommandPages, APopupWhosePageFailsLaterIsNotLeftBehind) {
    int deleted = 0;
    auto* popup = new CCountedPopup(&deleted);
    ASSERT_TRUE(popup->Create(250, 150));
    popup->NavigateTo(L"http://127.0.0.1:" + std::to_wstring(webtest::FreeLoopbackPort()) + L"/");
    EXPECT_TRUE(PumpUntil([&] { return deleted == 1; }, 10000));
}
