// The browser control's events (DWebBrowserEvents2), taken apart into plain calls.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

#include "platform/win32/ref_counted.h"
#include "platform/win32/untyped_dispatch.h"

namespace platform::win32 {

class IBrowserEventOwner {
public:
    virtual ~IBrowserEventOwner() = default;
    // frame is the browser of the page or of a frame; true cancels the navigation.
    virtual bool OnBrowserBeforeNavigate(IDispatch* frame, const std::wstring& url,
                                         const std::wstring& targetFrame) = 0;
    virtual void OnBrowserNavigateComplete(IDispatch* frame, const std::wstring& url) = 0;
    virtual void OnBrowserDocumentComplete(IDispatch* frame, const std::wstring& url) = 0;
    virtual void OnBrowserTitleChange(const std::wstring& title) = 0;
    // True cancels the browser's own error page.
    virtual bool OnBrowserNavigateError(IDispatch* frame, const std::wstring& url) = 0;
    // A new window is never opened; userClicked: the user asked for it.
    virtual void OnBrowserNewWindow(const std::wstring& url, bool userClicked) = 0;
};

class CBrowserEvents final : public CUntypedDispatch<IDispatch>,
                             public CRefCounted<CBrowserEvents> {
public:
    // Starts with one reference, the owner's.
    explicit CBrowserEvents(IBrowserEventOwner* owner);

    void Detach() { m_pOwner = nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return DropReference(); }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    friend class CRefCounted<CBrowserEvents>;
    ~CBrowserEvents() = default;
    void Dispatch(DISPID id, const DISPPARAMS& params);

    IBrowserEventOwner* m_pOwner;
};

}  // namespace platform::win32
