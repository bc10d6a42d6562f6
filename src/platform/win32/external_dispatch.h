// window.external on the Windows browser control: an IDispatchEx whose members are whatever
// the view's owner answers for, each call checked against the pages the view trusts.
#pragma once

#include <windows.h>

#include <dispex.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/web_view.h"
#include "platform/win32/ref_counted.h"
#include "platform/win32/untyped_dispatch.h"

namespace platform::win32 {

class CExternalDispatch final : public CUntypedDispatch<IDispatchEx>,
                                public CRefCounted<CExternalDispatch> {
public:
    // Whether a page may reach the members now: the top document is trusted and, where the
    // engine names the calling document, so is that one (callerUrl null when it does not).
    using TrustCheck = std::function<bool(const std::wstring* callerUrl)>;

    // Starts with one reference, the creator's.
    CExternalDispatch(IWebViewEvents* events, TrustCheck check);

    // The view is going: a page that still holds the object reaches nothing any more.
    void Detach();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return AddReference(); }
    ULONG STDMETHODCALLTYPE Release() override { return DropReference(); }
    // IDispatch
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
    // IDispatchEx
    HRESULT STDMETHODCALLTYPE GetDispID(BSTR bstrName, DWORD grfdex, DISPID* pid) override;
    HRESULT STDMETHODCALLTYPE InvokeEx(DISPID id, LCID lcid, WORD wFlags, DISPPARAMS* pdp,
                                       VARIANT* pvarRes, EXCEPINFO* pei,
                                       IServiceProvider* pspCaller) override;
    HRESULT STDMETHODCALLTYPE DeleteMemberByName(BSTR bstrName, DWORD grfdex) override;
    HRESULT STDMETHODCALLTYPE DeleteMemberByDispID(DISPID id) override;
    HRESULT STDMETHODCALLTYPE GetMemberProperties(DISPID id, DWORD grfdexFetch,
                                                  DWORD* pgrfdex) override;
    HRESULT STDMETHODCALLTYPE GetMemberName(DISPID id, BSTR* pbstrName) override;
    HRESULT STDMETHODCALLTYPE GetNextDispID(DWORD grfdex, DISPID id, DISPID* pid) override;
    HRESULT STDMETHODCALLTYPE GetNameSpaceParent(IUnknown** ppunk) override;

private:
    friend class CRefCounted<CExternalDispatch>;
    ~CExternalDispatch() = default;

    // The member's id, handed out on its first successful look-up; DISPID_UNKNOWN otherwise.
    DISPID LookUp(const std::wstring& name);
    HRESULT Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                 const std::wstring* callerUrl);

    IWebViewEvents* m_pEvents;
    TrustCheck m_check;
    // Member names by id - 1.
    std::vector<std::wstring> m_names;
};

// The address of the document a script call comes from, where the engine names it through
// its caller (its window's or document's location); false when it does not.
bool GetCallerUrl(IServiceProvider* caller, std::wstring* url);

}  // namespace platform::win32
