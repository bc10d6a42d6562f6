// The browser control in windows on a display under wine: activated in a child window and
// following its size, navigations reported to the view's owner and to a page window (no page
// renders under wine, so every navigation fails), and a teardown that frees the control.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "browser/iewapper_wnd.h"
#include "platform/web_view.h"
#include "platform/wnd.h"
#include "platform/win32/browser_events.h"
#include "platform/win32/browser_site.h"
#include "platform/win32/external_dispatch.h"
#include "platform/win32/web_browser_view.h"
#include "support/test_http_server.h"

namespace {

using platform::win32::CWebBrowserView;

// Runs the thread's messages until done() holds or ms have passed.
bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const ULONGLONG deadline = GetTickCount64() + ms;
    while (!done()) {
        if (GetTickCount64() >= deadline) {
            return false;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

class CRecordedEvents : public platform::IWebViewEvents {
public:
    std::vector<std::wstring> m_events;
    bool Saw(const std::wstring& event) const {
        return std::find(m_events.begin(), m_events.end(), event) != m_events.end();
    }

    void OnTitleChanged(const std::wstring& title) override {
        m_events.push_back(L"title " + title);
    }
    void OnNavigationCommitted(const std::wstring& url) override {
        m_events.push_back(L"committed " + url);
    }
    void OnLoadFinished(const std::wstring& url) override { m_events.push_back(L"loaded " + url); }
    void OnLoadFailed(const std::wstring& url) override { m_events.push_back(L"failed " + url); }
    bool OnBeforeNavigate(const std::wstring& url, const std::wstring&) override {
        m_events.push_back(L"before " + url);
        return false;
    }
    HRESULT OnExternalLookUp(const std::wstring&) override { return DISP_E_UNKNOWNNAME; }
    HRESULT OnExternalCall(const std::wstring&, WORD, const std::vector<VARIANT>&,
                           VARIANT*) override {
        return DISP_E_UNKNOWNNAME;
    }
};

// A plain top-level window with a child window inside, as a page window holds its control.
class CHostWindows {
public:
    CHostWindows() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SongDeckBrowserTest";
        RegisterClassW(&windowClass);
        m_hParent =
            CreateWindowExW(0, L"SongDeckBrowserTest", L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                            40, 40, 480, 360, nullptr, nullptr, windowClass.hInstance, nullptr);
        m_hChild = CreateWindowExW(0, L"SongDeckBrowserTest", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300,
                                   200, m_hParent, nullptr, windowClass.hInstance, nullptr);
    }
    ~CHostWindows() { DestroyWindow(m_hParent); }
    HWND m_hParent;
    HWND m_hChild;
};

SIZE ClientSize(HWND window) {
    RECT rect{};
    GetClientRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

bool AllBrowserObjectsFreed() {
    return platform::win32::CBrowserSite::LiveObjects() == 0 &&
           platform::win32::CBrowserEvents::LiveObjects() == 0 &&
           platform::win32::CExternalDispatch::LiveObjects() == 0;
}

TEST(WebBrowserHost, ActivatesInAChildWindowReportsNavigationsAndLetsTheControlGo) {
    testsupport::TestHttpServer server;
    server.On("/page", [](const testsupport::HttpTestRequest&) {
        return testsupport::HttpTestReply::Text(200, "<html><body>page</body></html>");
    });
    // The program's start grants the pages' newest document mode to the program by its name.
    ASSERT_TRUE(platform::InitGui({L"songdeck_windows_browser_gui_tests.exe"}));
    CHostWindows windows;
    ASSERT_NE(windows.m_hChild, nullptr);
    CRecordedEvents events;
    std::unique_ptr<platform::IWebView> view = platform::CreateWebView(windows.m_hChild, &events);
    ASSERT_NE(view, nullptr);
    DWORD mode = 0;
    DWORD size = sizeof(mode);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER,
                           L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
                           L"FEATURE_BROWSER_EMULATION",
                           L"songdeck_windows_browser_gui_tests.exe", RRF_RT_REG_DWORD, nullptr,
                           &mode, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(mode, 11001u);
    HWND browser = static_cast<CWebBrowserView*>(view.get())->GetBrowserWindow();
    ASSERT_NE(browser, nullptr);
    EXPECT_TRUE(IsChild(windows.m_hChild, browser));
    EXPECT_EQ(ClientSize(browser).cx, 300);
    EXPECT_EQ(ClientSize(browser).cy, 200);
    SetWindowPos(windows.m_hChild, nullptr, 0, 0, 420, 260, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(PumpUntil([&] { return ClientSize(browser).cx == 420; }, 5000));
    EXPECT_EQ(ClientSize(browser).cy, 260);

    // What the view cannot load fails before Navigate returns, without reaching the browser.
    view->Navigate(L"javascript:alert(1)");
    ASSERT_EQ(events.m_events.size(), 1u);
    EXPECT_EQ(events.m_events[0], L"failed javascript:alert(1)");

    // A page: asked about first, then its failure (nothing renders here).
    events.m_events.clear();
    const std::wstring url = server.WideUrl("/page");
    view->Navigate(url);
    EXPECT_TRUE(PumpUntil([&] { return events.Saw(L"failed " + url); }, 20000));
    ASSERT_FALSE(events.m_events.empty());
    EXPECT_EQ(events.m_events[0], L"before " + url);
    EXPECT_FALSE(events.Saw(L"loaded " + url));

    view.reset();
    EXPECT_TRUE(PumpUntil(AllBrowserObjectsFreed, 5000))
        << platform::win32::CBrowserSite::LiveObjects() << " sites, "
        << platform::win32::CBrowserEvents::LiveObjects() << " event sinks, "
        << platform::win32::CExternalDispatch::LiveObjects() << " external objects";
}

// A page window as the client's windows are: its control reports a failed navigation as
// code 4 of the page notification, and the window's hook gets the address.
class CPageProbeWnd : public CIEWapperWnd {
public:
    void OnPageBeforeNavigate(LPCWSTR lpszURL, DWORD, LPCWSTR, const std::vector<BYTE>&, LPCWSTR,
                              BOOL*) override {
        m_before.push_back(lpszURL);
    }
    void OnPageNavigateError(std::wstring url) override { m_errors.push_back(url); }
    std::vector<std::wstring> m_before;
    std::vector<std::wstring> m_errors;
};

TEST(WebBrowserHost, PageWindowGetsTheFailedNavigationFromItsControl) {
    CPageProbeWnd window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, L"page window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                RECT{0, 0, 400, 300}, nullptr, 0));
    window.NavigateTo(L"http://127.0.0.1:9/m");
    EXPECT_TRUE(PumpUntil([&] { return !window.m_errors.empty(); }, 20000));
    ASSERT_EQ(window.m_errors.size(), 1u);
    EXPECT_EQ(window.m_errors[0], L"http://127.0.0.1:9/m");
    ASSERT_FALSE(window.m_before.empty());
    EXPECT_EQ(window.m_before[0], L"http://127.0.0.1:9/m");
    // A location no browser loads reaches the hook at once.
    window.NavigateTo(L"httpx://127.0.0.1/m");
    ASSERT_EQ(window.m_errors.size(), 2u);
    window.DestroyWindow();
    EXPECT_TRUE(PumpUntil(AllBrowserObjectsFreed, 5000));
}

}  // namespace
