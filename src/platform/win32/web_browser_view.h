// The Windows form of the platform web view: the WebBrowser control hosted in a child window
// (Windows-internal).
#pragma once

#include <windows.h>

#include <exdisp.h>

#include <memory>
#include <string>

#include "platform/trusted_pages.h"
#include "platform/web_view.h"
#include "platform/win32/browser_events.h"
#include "platform/win32/browser_site.h"
#include "platform/win32/external_dispatch.h"

namespace platform::win32 {

class CWebBrowserView : public IWebView, private IBrowserSiteOwner, private IBrowserEventOwner {
public:
    // events may be null: such a view reports nothing and has no window.external members.
    explicit CWebBrowserView(IWebViewEvents* events);
    ~CWebBrowserView() override;
    CWebBrowserView(const CWebBrowserView&) = delete;
    CWebBrowserView& operator=(const CWebBrowserView&) = delete;

    // The control exists (COM is usable on this thread and the control could be made).
    bool HasBrowser() const { return m_pBrowser != nullptr; }
    // Activates the control inside childWindow, filling it and following its size; a
    // navigation asked for before starts now.
    bool Place(HWND childWindow);
    // The control's own window, once it is active.
    HWND GetBrowserWindow() const;

    void SetTrustedPages(const CTrustedPages& trusted) override;
    void Navigate(const std::wstring& url) override;
    void SetSilent(bool silent) override;
    bool GetBodyInlineSize(std::wstring* width, std::wstring* height) override;
    std::wstring GetUrl() const override;

    // The browser reports local pages as file: URLs; the owner gets them as paths.
    static std::wstring LocationFromUrl(const std::wstring& url);
    // The view whose window is window or holds it; null for none.
    static CWebBrowserView* FromWindow(HWND window);
    CBrowserSite* GetSite() const { return m_pSite; }

private:
    // IBrowserSiteOwner
    HWND GetSiteWindow() override { return m_hWnd; }
    HRESULT GetExternalObject(IDispatch** external) override;
    // IBrowserEventOwner
    bool OnBrowserBeforeNavigate(IDispatch* frame, const std::wstring& url,
                                 const std::wstring& targetFrame) override;
    void OnBrowserNavigateComplete(IDispatch* frame, const std::wstring& url) override;
    void OnBrowserDocumentComplete(IDispatch* frame, const std::wstring& url) override;
    void OnBrowserTitleChange(const std::wstring& title) override;
    bool OnBrowserNavigateError(IDispatch* frame, const std::wstring& url) override;
    void OnBrowserNewWindow(const std::wstring& url, bool userClicked) override;

    // The address of the top document as the browser has it now.
    std::wstring TopUrl() const;
    bool IsTopTrusted() const;
    bool IsTopFrame(IDispatch* frame) const;
    void StartNavigation(const std::wstring& url);
    void FitToWindow();
    // The focus goes into the control: it becomes UI-active and shows its caret.
    void FocusBrowser();
    // Zooms the page to the scale of the monitor the view is on (after each load, and when
    // the window moved to a monitor of another scale).
    void ZoomToMonitor();
    static LRESULT CALLBACK WindowHook(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Unhook();

    IWebViewEvents* m_pEvents;
    CTrustedPages m_trusted;
    bool m_bOleInitialized = false;
    IWebBrowser2* m_pBrowser = nullptr;
    IOleObject* m_pOleObject = nullptr;
    CBrowserSite* m_pSite = nullptr;
    CBrowserEvents* m_pSink = nullptr;
    CExternalDispatch* m_pExternal = nullptr;
    IConnectionPoint* m_pConnection = nullptr;
    DWORD m_dwAdviseCookie = 0;
    HWND m_hWnd = nullptr;
    WNDPROC m_pfnOldProc = nullptr;
    bool m_bSilent = false;
    bool m_bFocusing = false;
    // A navigation asked for before the view had its window.
    std::wstring m_strPendingUrl;
    // The top document is the browser's error page for a failed load, which is neither a
    // completed navigation nor a loaded document.
    bool m_bErrorPage = false;
    // Navigations asked for by the owner, to see one started inside an event.
    unsigned m_nNavigations = 0;
    // False once the object is gone; handlers that called out check it before going on.
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
};

// Hands a key message (WM_KEYFIRST to WM_KEYLAST) for a window inside a browser control to
// the control's active object first; true when the control used it, and it must then be
// neither translated nor dispatched.
bool TranslateBrowserKeys(MSG* message);

}  // namespace platform::win32
