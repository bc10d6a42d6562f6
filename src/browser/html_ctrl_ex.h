// The browser control of every page window: hands the page its window.external object and
// reports the page's events to the parent window. The view has no border of its own to hide
// and always fills the control, so the control needs no size handling.
#pragma once

#include "browser/html_ctrl.h"

// Notification codes, the wParam of m_nNotifyMsg; lParam is the text, valid during the call.
constexpr WPARAM PAGE_NOTIFY_TITLE_CHANGE = 1;
constexpr WPARAM PAGE_NOTIFY_NAVIGATE_COMPLETE = 2;
constexpr WPARAM PAGE_NOTIFY_DOCUMENT_COMPLETE = 3;
constexpr WPARAM PAGE_NOTIFY_NAVIGATE_ERROR = 4;

class CHtmlCtrlEx : public CHtmlCtrl {
public:
    CHtmlCtrlEx() = default;

    // The size the loaded page asks for with its body's inline style; 0 for what cannot be
    // read.
    void GetPageSize(int& width, int& height);

    // The message sent to the parent for page events; 0 sends none.
    UINT m_nNotifyMsg = 0;
    // window.external of the pages; not owned.
    IDispatch* m_pExternalDispatch = nullptr;

protected:
    HRESULT OnGetExternal(IDispatch** lppDispatch) override;
    void OnNavigateComplete2(LPCWSTR strURL) override;
    // Replaces the base's "app:" handling: every address goes to the parent window.
    void OnBeforeNavigate2(LPCWSTR lpszURL, DWORD nFlags, LPCWSTR lpszTargetFrameName,
                           const std::vector<BYTE>& baPostedData, LPCWSTR lpszHeaders,
                           BOOL* pbCancel) override;
    void OnTitleChange(LPCWSTR lpszText) override;
    void OnDocumentComplete(LPCWSTR lpszURL) override;
    void OnNavigateError(LPCWSTR lpszURL, LPCWSTR lpszFrame, DWORD dwError,
                         BOOL* pbCancel) override;

private:
    void NotifyParent(WPARAM code, LPCWSTR text);
};
