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

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    CHtmlCtrlEx m_htmlCtrl;
};
