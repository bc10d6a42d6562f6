// The base of every window that shows a page: a browser control always filling the client
// area, the page's events as overridable hooks, and navigation.
#pragma once

#include <string>
#include <vector>

#include "browser/html_ctrl_ex.h"
#include "platform/wnd.h"

constexpr UINT WM_PAGE_NOTIFY = WM_USER + 1000;

class CIEWapperWnd : public CWnd {
public:
    CIEWapperWnd() = default;
    // The window goes before the control it holds, so the control sees its own WM_DESTROY.
    ~CIEWapperWnd() override;

    // Local pages as full file paths, service pages by address; nothing without a window.
    void NavigateTo(std::wstring url);
    // Starts loading url before the window is created, which then shows that page. Nothing of
    // the page reaches the window before it exists: create it before the loop runs again.
    void PreloadPage(std::wstring url);

    // Called by the browser control before any navigation; setting *pbCancel stops it.
    virtual void OnPageBeforeNavigate(LPCWSTR lpszURL, DWORD nFlags, LPCWSTR lpszTargetFrameName,
                                      const std::vector<BYTE>& baPostedData, LPCWSTR lpszHeaders,
                                      BOOL* pbCancel) {}
    // By default the window's text follows the page's title.
    virtual void OnPageTitleChange(std::wstring title);
    virtual void OnPageNavigateComplete(std::wstring url) {}
    virtual void OnPageDocumentComplete(std::wstring url) {}
    virtual void OnPageNavigateError(std::wstring url) {}
    // The page of the last navigation has not loaded within the bound (it hangs, it failed
    // with nothing else to show, or there is no page engine): the window shows what it has.
    virtual void OnPageLoadOverdue(std::wstring url) {}

    // How long a page may take before OnPageLoadOverdue; 10 s.
    static UINT s_nPageLoadBoundMs;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CHtmlCtrlEx m_htmlCtrl;

private:
    // Starts the bound of a navigation once the window exists.
    void WatchPageLoad(const std::wstring& url);
    void EndPageLoadWatch();
    void OnPageLoadBound();

    static constexpr UINT_PTR ID_TIMER_PAGE_LOAD_BOUND = 0x5D01;
    // The page being waited for; empty when none is.
    std::wstring m_strLoadingUrl;
};
