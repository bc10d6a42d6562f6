// The browser control in a page window on a display under wine: activated in the window's
// control and following its size, navigations reported to the window's hooks (no page renders
// under wine, so every navigation fails), and a teardown that frees the control.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "browser/iewapper_wnd.h"
#include "platform/messages.h"
#include "platform/wnd.h"
#include "platform/win32/browser_events.h"
#include "platform/win32/browser_site.h"
#include "platform/win32/external_dispatch.h"
#include "platform/win32/web_browser_view.h"
#include "support/test_http_server.h"

namespace {

using platform::PumpMessagesUntil;

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

// A page window as the client's windows are, recording what its hooks get.
class CPageProbeWnd : public CIEWapperWnd {
public:
    void OnPageBeforeNavigate(LPCWSTR lpszURL, DWORD, LPCWSTR, const std::vector<BYTE>&, LPCWSTR,
                              BOOL*) override {
        m_before.push_back(lpszURL);
    }
    void OnPageDocumentComplete(std::wstring url) override { m_loaded.push_back(url); }
    void OnPageNavigateError(std::wstring url) override { m_errors.push_back(url); }
    // The browser's own window inside the window's control.
    HWND BrowserWindow() const { return GetWindow(m_htmlCtrl.m_hWnd, GW_CHILD); }

    std::vector<std::wstring> m_before;
    std::vector<std::wstring> m_loaded;
    std::vector<std::wstring> m_errors;
};

// Stands in for the control's active object, which wine's control (without a document) never
// sets: records the key messages it is given.
struct CRecordingActiveObject : IOleInPlaceActiveObject {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nReferences; }
    ULONG STDMETHODCALLTYPE Release() override { return --m_nReferences; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(WINBOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG key) override {
        m_keys.push_back(*key);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(WINBOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, WINBOOL) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(WINBOOL) override { return S_OK; }
    ULONG m_nReferences = 0;
    std::vector<MSG> m_keys;
};

TEST(WebBrowserHost, PageWindowHostsTheControlReportsNavigationsAndLetsItGo) {
    testsupport::TestHttpServer server;
    server.On("/page", [](const testsupport::HttpTestRequest&) {
        return testsupport::HttpTestReply::Text(200, "<html><body>page</body></html>");
    });
    // The program's start grants the pages' newest document mode to the program by its name.
    ASSERT_TRUE(platform::InitGui({L"songdeck_windows_browser_gui_tests.exe"}));
    DWORD mode = 0;
    DWORD size = sizeof(mode);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER,
                           L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\"
                           L"FEATURE_BROWSER_EMULATION",
                           L"songdeck_windows_browser_gui_tests.exe", RRF_RT_REG_DWORD, nullptr,
                           &mode, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(mode, 11001u);

    // The control fills the window and follows its size.
    CPageProbeWnd window;
    ASSERT_TRUE(window.CreateEx(0, nullptr, L"page window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                RECT{40, 40, 520, 400}, nullptr, 0));
    const HWND browser = window.BrowserWindow();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(ClientSize(browser).cx, ClientSize(window.m_hWnd).cx);
    EXPECT_EQ(ClientSize(browser).cy, ClientSize(window.m_hWnd).cy);
    SetWindowPos(window.m_hWnd, nullptr, 0, 0, 640, 480,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    const SIZE grown = ClientSize(window.m_hWnd);
    EXPECT_TRUE(PumpMessagesUntil([&] { return ClientSize(browser).cx == grown.cx; }, 5000));
    EXPECT_EQ(ClientSize(browser).cy, grown.cy);

    // What the view cannot load fails before NavigateTo returns, without reaching the browser.
    window.NavigateTo(L"javascript:alert(1)");
    ASSERT_EQ(window.m_errors.size(), 1u);
    EXPECT_EQ(window.m_errors[0], L"javascript:alert(1)");
    EXPECT_TRUE(window.m_before.empty());

    // A page: asked about first, then its failure (nothing renders here).
    const std::wstring url = server.WideUrl("/page");
    window.NavigateTo(url);
    EXPECT_TRUE(PumpMessagesUntil([&] { return window.m_errors.size() == 2; }, 20000));
    ASSERT_EQ(window.m_errors.size(), 2u);
    EXPECT_EQ(window.m_errors[1], url);
    ASSERT_FALSE(window.m_before.empty());
    EXPECT_EQ(window.m_before[0], url);
    EXPECT_TRUE(window.m_loaded.empty());

    // The focus follows the window into the control, and the control's active object gets the
    // page's keys before the loop makes characters of them; other windows' keys it never sees.
    SetForegroundWindow(window.m_hWnd);
    SetFocus(window.m_hWnd);
    const HWND focus = GetFocus();
    EXPECT_TRUE(focus == GetParent(browser) || IsChild(GetParent(browser), focus)) << focus;
    CRecordingActiveObject active;
    auto* view = platform::win32::CWebBrowserView::FromWindow(browser);
    ASSERT_NE(view, nullptr);
    view->GetSite()->SetActiveObject(&active, nullptr);
    PostMessageW(window.m_hWnd, WM_KEYDOWN, 'V', 0);
    PostMessageW(browser, WM_KEYDOWN, VK_TAB, 0);
    PostMessageW(browser, WM_KEYUP, 'C', 0);
    EXPECT_TRUE(PumpMessagesUntil([&] { return active.m_keys.size() >= 2; }, 5000));
    ASSERT_EQ(active.m_keys.size(), 2u);
    EXPECT_EQ(active.m_keys[0].hwnd, browser);
    EXPECT_EQ(active.m_keys[0].wParam, WPARAM{VK_TAB});
    EXPECT_EQ(active.m_keys[1].message, UINT{WM_KEYUP});
    view->GetSite()->SetActiveObject(nullptr, nullptr);
    EXPECT_EQ(active.m_nReferences, 0u) << "the site lets the object go";

    window.DestroyWindow();
    EXPECT_TRUE(PumpMessagesUntil(AllBrowserObjectsFreed, 5000))
        << platform::win32::CBrowserSite::LiveObjects() << " sites, "
        << platform::win32::CBrowserEvents::LiveObjects() << " event sinks, "
        << platform::win32::CExternalDispatch::LiveObjects() << " external objects";
}

}  // namespace
