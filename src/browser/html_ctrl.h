// The browser as a plain child control: a web view filling a child window, with the browser's
// events as overridable calls.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/web_view.h"
#include "platform/wnd.h"

class CHtmlCtrl : public CWnd, protected platform::IWebViewEvents {
public:
    CHtmlCtrl() = default;
    ~CHtmlCtrl() override;

    // Creates the child window and its browser.
    BOOL Create(LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                CWnd* pParentWnd, UINT nID);
    // Makes the browser ahead of the control's window, so a page can start loading while the
    // window is made; Create then shows it. TRUE when there is a browser.
    BOOL CreateBrowser();
    // Local pages as full file paths, others by address. Nothing happens without a browser.
    void Navigate2(const std::wstring& url);
    // No page dialogs while set (for pages being torn down).
    void SetSilent(BOOL bSilent);

    // Browser events, as the browser reports them.
    virtual void OnBeforeNavigate2(LPCWSTR lpszURL, DWORD nFlags, LPCWSTR lpszTargetFrameName,
                                   const std::vector<BYTE>& baPostedData, LPCWSTR lpszHeaders,
                                   BOOL* pbCancel);
    virtual void OnTitleChange(LPCWSTR lpszText) {}
    virtual void OnNavigateComplete2(LPCWSTR strURL) {}
    virtual void OnDocumentComplete(LPCWSTR lpszURL) {}
    virtual void OnNavigateError(LPCWSTR lpszURL, LPCWSTR lpszFrame, DWORD dwError,
                                 BOOL* pbCancel) {}
    // The object the page gets as window.external: S_OK with a reference added, or S_FALSE
    // for none.
    virtual HRESULT OnGetExternal(IDispatch** lppDispatch) { return S_FALSE; }
    // An "app:" address was asked for; the text after "app:".
    virtual void OnAppUrl(LPCWSTR lpszWhere) {}

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The control is a member of its window and is never deleted on its own.
    void PostNcDestroy() override {}

    platform::IWebView* GetWebView() const { return m_pWebView.get(); }

    // platform::IWebViewEvents
    void OnTitleChanged(const std::wstring& title) override;
    void OnNavigationCommitted(const std::wstring& url) override;
    void OnLoadFinished(const std::wstring& url) override;
    void OnLoadFailed(const std::wstring& url) override;
    bool OnBeforeNavigate(const std::wstring& url, const std::wstring& targetFrame) override;
    HRESULT OnExternalLookUp(const std::wstring& name) override;
    HRESULT OnExternalCall(const std::wstring& name, WORD flags, const std::vector<VARIANT>& args,
                           VARIANT* result) override;

private:
    std::unique_ptr<platform::IWebView> m_pWebView;
    // False once the control is gone; a script command may close the window in its call.
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
};
