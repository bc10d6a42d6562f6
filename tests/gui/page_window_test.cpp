// The page window base with its browser control, as the application's windows use it: a real
// top-level window under the window manager, its page calling commands through
// window.external.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/iewapper_wnd.h"
#include "browser/main_dispatch_imp.h"
#include "gui_support.h"
#include "platform/text_encoding.h"
#include "platform/ui.h"
#include "support/test_http_server.h"
#include "web_test_support.h"

using webtest::CActionCommand;
using webtest::CEchoTypesCommand;
using webtest::CReturnCommand;
using webtest::kHarness;

namespace {

constexpr DWORD kPageWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;

// A page window as the application's windows build one: commands registered with its bridge
// before the first navigation, every hook recorded.
class CTestPageWnd : public CIEWapperWnd {
public:
    CTestPageWnd() {
        m_pDispatch = new CMainDispatchImp;
        m_pDispatch->RegisterHandler(&m_types);
        m_pDispatch->RegisterHandler(&m_ret);
        m_pDispatch->RegisterHandler(&m_fail);
        m_htmlCtrl.m_pExternalDispatch = m_pDispatch;
    }
    ~CTestPageWnd() override {
        if (m_hWnd != nullptr) {
            DestroyWindow();
        }
        delete m_pDispatch;
    }
    BOOL Create(int width, int height) {
        return CreateEx(0, L"SongDeckTestPage", L"Untitled", kPageWindowStyle,
                        RECT{0, 0, width, height}, nullptr, 0);
    }

    void OnPageBeforeNavigate(LPCWSTR url, DWORD, LPCWSTR, const std::vector<BYTE>&, LPCWSTR,
                              BOOL* cancel) override {
        m_log.push_back(std::wstring(L"before ") + url);
        if (std::wstring(url).find(L"blocked") != std::wstring::npos) {
            *cancel = TRUE;
        }
    }
    void OnPageTitleChange(std::wstring title) override {
        m_log.push_back(L"title " + title);
        CIEWapperWnd::OnPageTitleChange(title);
    }
    void OnPageNavigateComplete(std::wstring url) override { m_log.push_back(L"complete " + url); }
    void OnPageDocumentComplete(std::wstring url) override {
        m_log.push_back(L"document " + url);
        if (m_onDocument) {
            m_onDocument(url);
        }
    }
    void OnPageNavigateError(std::wstring url) override { m_log.push_back(L"error " + url); }

    bool Logged(const std::wstring& line) const {
        return std::find(m_log.begin(), m_log.end(), line) != m_log.end();
    }
    CHtmlCtrlEx& Control() { return m_htmlCtrl; }
    CMainDispatchImp* Dispatch() { return m_pDispatch; }

    CMainDispatchImp* m_pDispatch = nullptr;
    CEchoTypesCommand m_types{L"Types"};
    CReturnCommand m_ret{L"Ret"};
    CReturnCommand m_fail{L"Fail", E_NOTIMPL};
    std::vector<std::wstring> m_log;
    std::function<void(const std::wstring&)> m_onDocument;
};

class PageWindow : public ::testing::Test {
protected:
    void SetUp() override {
        m_pWnd = std::make_unique<CTestPageWnd>();
        ASSERT_TRUE(m_pWnd->Create(520, 380));
    }
    // Loads a page and waits until the window's text (the page title) starts with "done:".
    std::wstring RunPage(const std::string& name, const std::string& body) {
        m_pWnd->NavigateTo(m_pages.Write(name, std::string("<html><head>") + kHarness +
                                                   "</head><body>" + body + "</body></html>"));
        bool done =
            PumpUntil([&] { return m_pWnd->GetWindowText().rfind(L"done:", 0) == 0; }, 15000);
        EXPECT_TRUE(done) << "the page did not finish; window text "
                          << WideToUtf8(m_pWnd->GetWindowText());
        return done ? m_pWnd->GetWindowText().substr(5) : L"";
    }
    std::wstring LoadAndWait(const std::wstring& path) {
        m_pWnd->NavigateTo(path);
        EXPECT_TRUE(PumpUntil([&] { return m_pWnd->Logged(L"document " + path); }, 10000))
            << "no document-complete for " << WideToUtf8(path);
        return path;
    }

    webtest::CPageFolder m_pages;
    std::unique_ptr<CTestPageWnd> m_pWnd;
};

}  // namespace

TEST_F(PageWindow, TitleBecomesTheWindowTextAndEveryHookHearsItsEvent) {
    std::wstring page = m_pages.Write("title.html", "<title>A page title</title>text");
    m_pWnd->NavigateTo(page);
    ASSERT_TRUE(PumpUntil(
        [&] {
            return m_pWnd->Logged(L"document " + page) &&
                   m_pWnd->GetWindowText() == L"A page title";
        },
        10000));
    EXPECT_TRUE(m_pWnd->Logged(L"before " + page));
    EXPECT_TRUE(m_pWnd->Logged(L"complete " + page));
    EXPECT_TRUE(m_pWnd->Logged(L"title A page title"));
    // The navigation completes before its document does.
    auto position = [&](const std::wstring& line) {
        return std::find(m_pWnd->m_log.begin(), m_pWnd->m_log.end(), line) - m_pWnd->m_log.begin();
    };
    EXPECT_LT(position(L"complete " + page), position(L"document " + page));
}

TEST_F(PageWindow, CreationCentresTheWindowAndMakesTheControlAChildThatReports) {
    CHtmlCtrlEx& control = m_pWnd->Control();
    ASSERT_NE(control.GetSafeHwnd(), nullptr);
    EXPECT_EQ(control.GetParent(), m_pWnd.get());
    EXPECT_EQ(control.GetStyle() & 0x52010000u, 0x52010000u);
    EXPECT_EQ(control.GetDlgCtrlID(), static_cast<UINT>(-1));
    EXPECT_EQ(control.m_nNotifyMsg, 2024u);
    RECT work{}, frame{};
    ASSERT_TRUE(GetWorkArea(&work));
    m_pWnd->GetWindowRect(&frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 2);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 2);

    // A window object without a window ignores navigation.
    CTestPageWnd unopened;
    unopened.NavigateTo(m_pages.Write("never.html", "<title>Never</title>"));
    PumpFor(200);
    EXPECT_TRUE(unopened.m_log.empty());
}

TEST_F(PageWindow, APageLoadedBeforeItsWindowExistsIsShownThereWithItsCommands) {
    // The page calls a command from its first script, while it may still be on its way.
    const std::wstring page = m_pages.Write(
        "preloaded.html", std::string("<html><head>") + kHarness +
                              "<script>var early=t(()=>external.Ret('early'));</script></head>"
                              "<body style='width:300px;height:200px'><script>onload=function(){"
                              "done([early,innerWidth,innerHeight]);};</script></body></html>");
    CTestPageWnd window;
    window.PreloadPage(page);
    ASSERT_TRUE(window.Create(420, 320));
    ASSERT_TRUE(PumpUntil([&] { return window.GetWindowText().rfind(L"done:", 0) == 0; }, 15000))
        << "the page did not finish; window text " << WideToUtf8(window.GetWindowText());
    RECT client{};
    window.GetClientRect(&client);
    // The browser made ahead of the window fills it, as one made with it does.
    EXPECT_EQ(window.GetWindowText(), L"done:early|" + std::to_wstring(client.right) + L"|" +
                                          std::to_wstring(client.bottom));
    EXPECT_EQ(window.m_ret.m_nCalls, 1);
    // Every event of the load reached the window, once.
    ASSERT_TRUE(PumpUntil([&] { return window.Logged(L"document " + page); }, 10000));
    EXPECT_EQ(std::count(window.m_log.begin(), window.m_log.end(), L"complete " + page), 1);
    EXPECT_EQ(std::count(window.m_log.begin(), window.m_log.end(), L"document " + page), 1);
    int width = 0, height = 0;
    window.Control().GetPageSize(width, height);
    EXPECT_EQ(width, 300);
    EXPECT_EQ(height, 200);
}

TEST_F(PageWindow, NotifyCodesOutsideOneToFourDoNothing) {
    m_pWnd->m_log.clear();
    const wchar_t text[] = L"some text";
    for (WPARAM code : {WPARAM(0), WPARAM(5), WPARAM(1000)}) {
        EXPECT_EQ(m_pWnd->SendMessage(WM_PAGE_NOTIFY, code, reinterpret_cast<LPARAM>(text)), 0);
    }
    EXPECT_TRUE(m_pWnd->m_log.empty());
    EXPECT_EQ(m_pWnd->SendMessage(WM_PAGE_NOTIFY, 4, reinterpret_cast<LPARAM>(text)), 0);
    EXPECT_EQ(m_pWnd->SendMessage(WM_PAGE_NOTIFY, 1, reinterpret_cast<LPARAM>(text)), 0);
    EXPECT_EQ(m_pWnd->m_log, (std::vector<std::wstring>{L"error some text", L"title some text"}));
    EXPECT_EQ(m_pWnd->GetWindowText(), L"some text");
}

TEST_F(PageWindow, FailedNavigationsReachTheErrorHook) {
    std::wstring missing = Utf8ToWide(m_pages.Dir()) + L"/no-such-page.html";
    m_pWnd->NavigateTo(missing);
    EXPECT_TRUE(PumpUntil([&] { return m_pWnd->Logged(L"error " + missing); }, 10000));

    std::wstring refused =
        L"http://127.0.0.1:" + std::to_wstring(webtest::FreeLoopbackPort()) + L"/";
    m_pWnd->NavigateTo(refused);
    EXPECT_TRUE(PumpUntil([&] { return m_pWnd->Logged(L"error " + refused); }, 10000));
    PumpFor(300);
    EXPECT_FALSE(m_pWnd->Logged(L"document " + missing));
    EXPECT_FALSE(m_pWnd->Logged(L"document " + refused));
    // Each failure once: the page's own is not reported again as a frame's.
    auto& log = m_pWnd->m_log;
    EXPECT_EQ(std::count(log.begin(), log.end(), L"error " + missing), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), L"error " + refused), 1);
}

TEST_F(PageWindow, PageSizeComesFromTheBodysInlineStyle) {
    struct Case {
        const char* body;
        int width;
        int height;
    };
    const Case cases[] = {
        {"<body style='width:400px;height:300px'>", 400, 300},
        {"<body style='width:400;height:300'>", 400, 300},
        {"<body style='width:auto;height:auto'>", 0, 0},
        {"<body style='width:12em;height:3em'>", 12, 3},
        {"<body>", 0, 0},
        {"<frameset><frame src='about:blank'></frameset>", 0, 0},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::wstring page = m_pages.Write("size" + std::to_string(n++) + ".html",
                                          std::string("<html>") + c.body + "</html>");
        LoadAndWait(page);
        int width = -1, height = -1;
        m_pWnd->Control().GetPageSize(width, height);
        EXPECT_EQ(width, c.width) << c.body;
        EXPECT_EQ(height, c.height) << c.body;
    }
}

TEST_F(PageWindow, BrowserStaysExactlyOverTheClientAreaWhenResized) {
    // The page reports the size of its viewport, which is the browser's.
    LoadAndWait(m_pages.Write("resize.html",
                              "<script>function show(){document.title=innerWidth+'x'+innerHeight;}"
                              "onresize=show;show();</script>"));
    for (auto [width, height] : {std::pair{640, 480}, std::pair{333, 222}, std::pair{900, 610}}) {
        m_pWnd->SetWindowPos(nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
        RECT client{};
        std::wstring expected;
        ASSERT_TRUE(PumpUntil(
            [&] {
                m_pWnd->GetClientRect(&client);
                expected = std::to_wstring(client.right) + L"x" + std::to_wstring(client.bottom);
                RECT control{};
                m_pWnd->Control().GetClientRect(&control);
                return m_pWnd->GetWindowText() == expected && control.right == client.right &&
                       control.bottom == client.bottom;
            },
            10000))
            << "window text " << WideToUtf8(m_pWnd->GetWindowText()) << ", client "
            << WideToUtf8(expected);
        RECT place{};
        m_pWnd->Control().GetWindowRect(&place);
        EXPECT_EQ(place.right - place.left, client.right);
        EXPECT_EQ(place.bottom - place.top, client.bottom);
    }
}

TEST_F(PageWindow, BeforeNavigateMayCancelAndAppAddressesGetNoSpecialTreatment) {
    std::wstring start = LoadAndWait(m_pages.Write("start.html", "<title>Start</title>"));
    std::wstring blocked = m_pages.Write("blocked.html", "<title>Blocked</title>");
    m_pWnd->NavigateTo(blocked);
    ASSERT_TRUE(PumpUntil([&] { return m_pWnd->Logged(L"before " + blocked); }, 10000));
    PumpFor(300);
    EXPECT_FALSE(m_pWnd->Logged(L"complete " + blocked));
    EXPECT_EQ(m_pWnd->GetWindowText(), L"Start");

    // An APP: link is an ordinary navigation in a page window (it then fails: no such scheme).
    m_pWnd->m_log.clear();
    m_pWnd->NavigateTo(m_pages.Write("app.html",
                                     "<a id='a' href='APP:open'>a</a><script>"
                                     "document.getElementById('a').click();"
                                     "</script>"));
    ASSERT_TRUE(PumpUntil(
        [&] {
            for (const std::wstring& line : m_pWnd->m_log) {
                if (g_ascii_strncasecmp(WideToUtf8(line).c_str(), "error app:open", 14) == 0) {
                    return true;
                }
            }
            return false;
        },
        10000));
}

TEST_F(PageWindow, CommandsAnswerThePageAndErrorsReachItsScript) {
    m_pages.Write("frame.html", "<script>external.Ret('from the frame');</script>");
    std::wstring results =
        RunPage("bridge.html",
                "<iframe src='frame.html'></iframe><script>onload=function(){var r=[];"
                "r.push(t(()=>external.Ret('text')));"
                "r.push(t(()=>external.Types('a',2,true,null,2.5)));"
                "r.push(t(()=>external.Types=='get'));"
                "r.push(t(()=>typeof external.types));"
                "r.push(t(()=>external.Fail()));"
                "r.push(t(()=>external.Ret()));"
                "r.push(t(()=>external.Ret({})));"
                "r.push(t(()=>external.Ret(document.body)));"
                "done(r);};</script>");
    EXPECT_EQ(results,
              L"text|call:8:3:11:0:5|true|undefined|E80004001|E80004005|E80020005|E80020005");
    EXPECT_EQ(m_pWnd->m_ret.m_strLast, L"text");
    EXPECT_EQ(m_pWnd->m_ret.m_nCalls, 2);  // the frame's call and the page's
    // The frame's document completes before the page's, and both are reported.
    std::wstring frame = Utf8ToWide(m_pages.Dir()) + L"/frame.html";
    std::wstring page = Utf8ToWide(m_pages.Dir()) + L"/bridge.html";
    ASSERT_TRUE(PumpUntil([&] { return m_pWnd->Logged(L"document " + page); }, 10000));
    auto& log = m_pWnd->m_log;
    auto frameDone = std::find(log.begin(), log.end(), L"document " + frame);
    EXPECT_LT(frameDone, std::find(log.begin(), log.end(), L"document " + page));
}

TEST_F(PageWindow, WithoutAnExternalObjectThePageSeesNoMembers) {
    m_pWnd->Control().m_pExternalDispatch = nullptr;
    EXPECT_EQ(RunPage("none.html",
                      "<script>done([typeof external.Ret,"
                      "t(()=>external.Ret('x'))]);</script>"),
              L"undefined|E0");
    EXPECT_EQ(m_pWnd->m_ret.m_nCalls, 0);
}

namespace {

// Records the user messages it gets, in order.
class CMessageRecorder : public CWnd {
public:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message >= WM_USER) {
            m_received.push_back(message - WM_USER);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    std::vector<UINT> m_received;
};

gboolean PressYesWhenTheBoxShows(gpointer data) {
    int* triesLeft = static_cast<int*>(data);
    if (platform::testing::PressMessageBoxButton(L"Bridge question", IDYES) || --*triesLeft <= 0) {
        return G_SOURCE_REMOVE;
    }
    return G_SOURCE_CONTINUE;
}

}  // namespace

TEST_F(PageWindow, ACommandMayRunAModalBoxAndPostToOtherWindowsInsideTheCall) {
    CMessageRecorder other;
    ASSERT_TRUE(other.CreateEx(0, nullptr, nullptr, 0, RECT{0, 0, 0, 0}, nullptr, 0));
    int answer = 0;
    CActionCommand ask(L"Ask", [&] {
        other.PostMessage(WM_USER + 1);
        answer = MessageBoxW(m_pWnd->m_hWnd, L"Go on?", L"Bridge question", MB_YESNO);
        other.SendMessage(WM_USER + 2);
    });
    m_pWnd->Dispatch()->RegisterHandler(&ask);
    int triesLeft = 200;
    g_timeout_add(50, PressYesWhenTheBoxShows, &triesLeft);
    EXPECT_EQ(RunPage("ask.html",
                      "<script>done([t(()=>external.Ask()),"
                      "t(()=>external.Ret('next'))]);</script>"),
              L"after|next");
    EXPECT_EQ(answer, IDYES);
    // The post was handled while the box was up, before the later send.
    EXPECT_EQ(other.m_received, (std::vector<UINT>{1, 2}));
    triesLeft = 0;
    PumpFor(100);
}

TEST_F(PageWindow, ACommandMayDestroyAndFreeItsWindowInsideTheCall) {
    CActionCommand close(L"CloseWnd", [&] {
        m_pWnd->DestroyWindow();
        m_pWnd.reset();
    });
    CReturnCommand late(L"Late");
    m_pWnd->Dispatch()->RegisterHandler(&close);
    m_pWnd->Dispatch()->RegisterHandler(&late);
    m_pWnd->NavigateTo(m_pages.Write(
        "close.html", "<script>external.CloseWnd();try{external.Late('x');}catch(e){}</script>"));
    EXPECT_TRUE(PumpUntil([&] { return m_pWnd == nullptr; }, 10000));
    PumpFor(500);
    EXPECT_EQ(late.m_nCalls, 0);
}

namespace {

// What a self-closing window saw in its hook; the window itself is gone afterwards.
struct CClosingRecord {
    int width = -1;
    int height = -1;
    bool freedInsideHook = false;
    bool freed = false;
};

// A window that posts itself WM_CLOSE and then asks for its page size in its hook, and frees
// itself when destroyed, as a message popup does.
class CClosingPageWnd : public CTestPageWnd {
public:
    explicit CClosingPageWnd(CClosingRecord* record) : m_pRecord(record) {}
    void OnPageDocumentComplete(std::wstring url) override {
        m_bInHook = true;
        PostMessage(WM_CLOSE);
        Control().GetPageSize(m_pRecord->width, m_pRecord->height);
        m_bInHook = false;
    }
    void PostNcDestroy() override {
        m_pRecord->freedInsideHook = m_bInHook;
        m_pRecord->freed = true;
        delete this;
    }

private:
    CClosingRecord* m_pRecord;
    bool m_bInHook = false;
};

}  // namespace

TEST_F(PageWindow, PageSizeIsKnownAtOnceInTheHookWithoutRunningQueuedMessages) {
    CClosingRecord record;
    auto* window = new CClosingPageWnd(&record);
    ASSERT_TRUE(window->Create(300, 200));
    window->NavigateTo(m_pages.Write(
        "closing.html", "<html><body style='width:640px;height:480px'>closing</body></html>"));
    ASSERT_TRUE(PumpUntil([&] { return record.freed; }, 10000));
    EXPECT_FALSE(record.freedInsideHook);
    EXPECT_EQ(record.width, 640);
    EXPECT_EQ(record.height, 480);
}

TEST_F(PageWindow, PageSizeFollowsTheBodyDuringCallsAndInEveryFramesHook) {
    std::vector<std::wstring> sizes;
    auto readSize = [&] {
        int width = -1, height = -1;
        m_pWnd->Control().GetPageSize(width, height);
        return std::to_wstring(width) + L"x" + std::to_wstring(height);
    };
    CActionCommand size(L"Size", [&] { sizes.push_back(readSize()); });
    m_pWnd->Dispatch()->RegisterHandler(&size);
    std::wstring frameSize;
    m_pWnd->m_onDocument = [&](const std::wstring& url) {
        if (url.find(L"inner.html") != std::wstring::npos) {
            frameSize = readSize();
        }
    };
    m_pages.Write("inner.html", "<body style='width:10px;height:10px'>inner</body>");
    std::wstring results =
        RunPage("sized.html",
                "<iframe src='inner.html'></iframe><script>"
                "document.body.style.width='300px';document.body.style.height='200px';"
                "onload=function(){external.Size();"
                "document.body.style.width='500px';external.Size();"
                "document.body.removeAttribute('style');external.Size();"
                "document.body.style.cssText='width:320px;height:240px';"
                "done([]);};</script>");
    EXPECT_EQ(sizes, (std::vector<std::wstring>{L"300x200", L"500x200", L"0x0"}));
    // The frame's document completes after the page's body asked for its size.
    EXPECT_EQ(frameSize, L"300x200");
    m_pWnd->m_onDocument = nullptr;
    // Set again before the page's load completes: the hook of the page sees the last size.
    std::wstring page = Utf8ToWide(m_pages.Dir()) + L"/sized.html";
    ASSERT_TRUE(PumpUntil([&] { return m_pWnd->Logged(L"document " + page); }, 10000));
    EXPECT_EQ(readSize(), L"320x240");
    // A foreign page the view went on to reports no size.
    testsupport::TestHttpServer server;
    server.On("/foreign", [](const testsupport::HttpTestRequest&) {
        return webtest::HtmlReply(
            "<html><body style='width:900px;height:700px'>foreign</body></html>");
    });
    LoadAndWait(server.WideUrl("/foreign"));
    EXPECT_EQ(readSize(), L"0x0");
}

TEST_F(PageWindow, FrameFailuresReachTheErrorHookWithTheFramesAddress) {
    testsupport::TestHttpServer server;
    server.On("/slow", [](const testsupport::HttpTestRequest&) {
        return webtest::StalledReply("late", 20000);
    });
    std::wstring refused =
        L"http://127.0.0.1:" + std::to_wstring(webtest::FreeLoopbackPort()) + L"/frame";
    std::wstring missing = Utf8ToWide(m_pages.Dir()) + L"/missing-frame.html";
    std::wstring slow = server.WideUrl("/slow");
    m_pages.Write("elsewhere.html", "elsewhere");
    std::wstring page = LoadAndWait(m_pages.Write(
        "frames.html", "<iframe src='missing-frame.html'></iframe><iframe src='" +
                           WideToUtf8(refused) + "'></iframe><iframe id='s' src='" +
                           WideToUtf8(slow) +
                           "'></iframe><script>setTimeout(function(){"
                           "document.getElementById('s').src='elsewhere.html';},300);</script>"));
    EXPECT_TRUE(PumpUntil(
        [&] { return m_pWnd->Logged(L"error " + missing) && m_pWnd->Logged(L"error " + refused); },
        10000));
    ASSERT_TRUE(PumpUntil(
        [&] {
            return m_pWnd->Logged(L"document " + Utf8ToWide(m_pages.Dir()) + L"/elsewhere.html");
        },
        10000));
    PumpFor(300);
    // A frame load replaced by another is no failure, and the page itself did not fail.
    EXPECT_FALSE(m_pWnd->Logged(L"error " + slow));
    EXPECT_FALSE(m_pWnd->Logged(L"error " + page));
}
