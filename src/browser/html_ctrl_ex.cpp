#include "browser/html_ctrl_ex.h"

#include <string>

#include "browser/iewapper_wnd.h"
#include "browser/style_length.h"

void CHtmlCtrlEx::GetPageSize(int& width, int& height) {
    width = 0;
    height = 0;
    platform::IWebView* view = GetWebView();
    std::wstring widthText, heightText;
    if (view == nullptr || !view->GetBodyInlineSize(&widthText, &heightText)) {
        return;
    }
    width = StyleLengthToInt(widthText);
    height = StyleLengthToInt(heightText);
}

HRESULT CHtmlCtrlEx::OnGetExternal(IDispatch** lppDispatch) {
    if (m_pExternalDispatch == nullptr) {
        return S_FALSE;
    }
    *lppDispatch = m_pExternalDispatch;
    m_pExternalDispatch->AddRef();
    return S_OK;
}

void CHtmlCtrlEx::NotifyParent(WPARAM code, LPCWSTR text) {
    CWnd* parent = GetParent();
    if (m_nNotifyMsg != 0 && parent != nullptr) {
        // A send, so the text stays valid while the parent handles it.
        parent->SendMessage(m_nNotifyMsg, code, reinterpret_cast<LPARAM>(text));
    }
}

void CHtmlCtrlEx::OnBeforeNavigate2(LPCWSTR lpszURL, DWORD nFlags, LPCWSTR lpszTargetFrameName,
                                    const std::vector<BYTE>& baPostedData, LPCWSTR lpszHeaders,
                                    BOOL* pbCancel) {
    auto* parent = dynamic_cast<CIEWapperWnd*>(GetParent());
    if (parent != nullptr) {
        parent->OnPageBeforeNavigate(lpszURL, nFlags, lpszTargetFrameName, baPostedData,
                                     lpszHeaders, pbCancel);
    }
}

void CHtmlCtrlEx::OnTitleChange(LPCWSTR lpszText) {
    NotifyParent(PAGE_NOTIFY_TITLE_CHANGE, lpszText);
}

void CHtmlCtrlEx::OnNavigateComplete2(LPCWSTR strURL) {
    NotifyParent(PAGE_NOTIFY_NAVIGATE_COMPLETE, strURL);
}

void CHtmlCtrlEx::OnDocumentComplete(LPCWSTR lpszURL) {
    NotifyParent(PAGE_NOTIFY_DOCUMENT_COMPLETE, lpszURL);
}

void CHtmlCtrlEx::OnNavigateError(LPCWSTR lpszURL, LPCWSTR, DWORD, BOOL* pbCancel) {
    // The browser shows its own error page.
    *pbCancel = FALSE;
    NotifyParent(PAGE_NOTIFY_NAVIGATE_ERROR, lpszURL);
}
