#include "browser/html_ctrl.h"

#include <cwctype>

#include "app/environment.h"
#include "browser/external_call.h"
#include "browser/page_trust.h"

CHtmlCtrl::~CHtmlCtrl() {
    *m_pAlive = false;
    m_pWebView.reset();
}

BOOL CHtmlCtrl::Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                       const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle, rect, pParentWnd, nID);
}

BOOL CHtmlCtrl::CreateBrowser() {
    if (m_pWebView != nullptr) {
        return TRUE;
    }
    // Every page of the client shares one store, in the user's data folder.
    if (!platform::IsWebDataDirectorySet()) {
        platform::SetWebDataDirectory(GetUserDataDir() + L"webdata/");
    }
    m_pWebView = platform::CreateWebView(this);
    // Only the client's own pages and the service's get window.external.
    if (m_pWebView != nullptr) {
        m_pWebView->SetTrustedPages(GetTrustedPages());
    }
    return m_pWebView != nullptr ? TRUE : FALSE;
}

void CHtmlCtrl::Navigate2(const std::wstring& url) {
    if (m_pWebView != nullptr) {
        m_pWebView->Navigate(url);
    }
}

void CHtmlCtrl::SetSilent(BOOL bSilent) {
    if (m_pWebView != nullptr) {
        m_pWebView->SetSilent(bSilent != FALSE);
    }
}

LRESULT CHtmlCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            if (result == -1) {
                return -1;
            }
            if (CreateBrowser() && !platform::PlaceWebView(*m_pWebView, m_hWnd)) {
                m_pWebView.reset();
            }
            return result;
        }
        case WM_DESTROY:
            m_pWebView.reset();
            return CWnd::DefWindowProc(message, wParam, lParam);
        case WM_MOUSEACTIVATE:
            return CWnd::DefWindowProc(message, wParam, lParam);
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}

void CHtmlCtrl::OnBeforeNavigate2(LPCWSTR lpszURL, DWORD, LPCWSTR, const std::vector<BYTE>&,
                                  LPCWSTR, BOOL* pbCancel) {
    std::wstring url = lpszURL != nullptr ? lpszURL : L"";
    if (url.size() >= 4 && std::towlower(url[0]) == L'a' && std::towlower(url[1]) == L'p' &&
        std::towlower(url[2]) == L'p' && url[3] == L':') {
        OnAppUrl(url.c_str() + 4);
        *pbCancel = TRUE;
    }
}

void CHtmlCtrl::OnTitleChanged(const std::wstring& title) {
    OnTitleChange(title.c_str());
}

void CHtmlCtrl::OnNavigationCommitted(const std::wstring& url) {
    OnNavigateComplete2(url.c_str());
}

void CHtmlCtrl::OnLoadFinished(const std::wstring& url) {
    OnDocumentComplete(url.c_str());
}

void CHtmlCtrl::OnLoadFailed(const std::wstring& url) {
    // The browser always shows its own error page; the answer is not used.
    BOOL cancel = FALSE;
    OnNavigateError(url.c_str(), L"", 0, &cancel);
}

bool CHtmlCtrl::OnBeforeNavigate(const std::wstring& url, const std::wstring& targetFrame) {
    BOOL cancel = FALSE;
    OnBeforeNavigate2(url.c_str(), 0, targetFrame.c_str(), {}, L"", &cancel);
    return cancel != FALSE;
}

HRESULT CHtmlCtrl::OnExternalLookUp(const std::wstring& name) {
    IDispatch* external = nullptr;
    if (OnGetExternal(&external) != S_OK || external == nullptr) {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT hr = LookUpExternalMember(external, name);
    external->Release();
    return hr;
}

HRESULT CHtmlCtrl::OnExternalCall(const std::wstring& name, WORD flags,
                                  const std::vector<VARIANT>& args, VARIANT* result) {
    IDispatch* external = nullptr;
    if (OnGetExternal(&external) != S_OK || external == nullptr) {
        return DISP_E_UNKNOWNNAME;
    }
    std::shared_ptr<bool> alive = m_pAlive;
    HRESULT hr = InvokeExternalMember(external, name, flags, args, result);
    // A command that closed the window took the object with it.
    if (*alive) {
        external->Release();
    }
    return hr;
}
