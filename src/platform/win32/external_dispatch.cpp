#include "platform/win32/external_dispatch.h"

#include <docobj.h>
#include <mshtml.h>
#include <servprov.h>

#include "platform/win32/com_ids.h"

namespace platform::win32 {
namespace {

constexpr WORD kCallKinds = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// A failed call reaches the script as an Error whose number is hr.
HRESULT FailCall(EXCEPINFO* excep, HRESULT hr, const wchar_t* description) {
    if (excep == nullptr) {
        return hr;
    }
    *excep = EXCEPINFO{};
    excep->bstrSource = SysAllocString(L"window.external");
    excep->bstrDescription = SysAllocString(description);
    excep->scode = hr;
    return DISP_E_EXCEPTION;
}

// A property of an automation object, read late-bound.
bool ReadProperty(IDispatch* object, const wchar_t* name, VARIANT* value) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    if (FAILED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) {
        return false;
    }
    DISPPARAMS none{};
    VariantInit(value);
    return SUCCEEDED(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                    value, nullptr, nullptr));
}

// location.href of a window or document.
bool LocationOf(IDispatch* holder, std::wstring* url) {
    VARIANT location;
    if (!ReadProperty(holder, L"location", &location)) {
        return false;
    }
    bool found = false;
    if (location.vt == VT_DISPATCH && location.pdispVal != nullptr) {
        VARIANT href;
        if (ReadProperty(location.pdispVal, L"href", &href) && href.vt == VT_BSTR) {
            *url = href.bstrVal != nullptr ? href.bstrVal : L"";
            found = true;
        }
        VariantClear(&href);
    }
    VariantClear(&location);
    return found;
}

}  // namespace

bool GetCallerUrl(IServiceProvider* caller, std::wstring* url) {
    if (caller == nullptr) {
        return false;
    }
    // The script host answers with its document, or with its window.
    for (const GUID* service : {&SID_SContainerDispatch, &IID_IHTMLWindow2}) {
        IDispatch* holder = nullptr;
        if (SUCCEEDED(
                caller->QueryService(*service, IID_IDispatch, reinterpret_cast<void**>(&holder))) &&
            holder != nullptr) {
            const bool found = LocationOf(holder, url);
            holder->Release();
            if (found) {
                return true;
            }
        }
    }
    return false;
}

CExternalDispatch::CExternalDispatch(IWebViewEvents* events, TrustCheck check)
    : m_pEvents(events), m_check(std::move(check)) {}

void CExternalDispatch::Detach() {
    m_pEvents = nullptr;
    m_check = nullptr;
}

HRESULT CExternalDispatch::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, IID_IDispatchEx)) {
        *ppv = static_cast<IDispatchEx*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

DISPID CExternalDispatch::LookUp(const std::wstring& name) {
    if (m_pEvents == nullptr || !m_check || !m_check(nullptr) ||
        m_pEvents->OnExternalLookUp(name) != S_OK) {
        return DISPID_UNKNOWN;
    }
    for (size_t i = 0; i < m_names.size(); ++i) {
        if (m_names[i] == name) {
            return static_cast<DISPID>(i + 1);
        }
    }
    m_names.push_back(name);
    return static_cast<DISPID>(m_names.size());
}

HRESULT CExternalDispatch::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames, LCID,
                                         DISPID* rgDispId) {
    if (cNames > 0 && (rgszNames == nullptr || rgDispId == nullptr)) {
        return E_POINTER;
    }
    HRESULT hr = S_OK;
    for (UINT i = 0; i < cNames; ++i) {
        // Only the member has an id: named arguments are not taken.
        rgDispId[i] = i == 0 && rgszNames[i] != nullptr ? LookUp(rgszNames[i]) : DISPID_UNKNOWN;
        if (rgDispId[i] == DISPID_UNKNOWN) {
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

HRESULT CExternalDispatch::GetDispID(BSTR bstrName, DWORD, DISPID* pid) {
    if (pid == nullptr) {
        return E_POINTER;
    }
    // Names are compared exactly, as the commands are registered, whatever grfdex asks.
    *pid = bstrName != nullptr ? LookUp(bstrName) : DISPID_UNKNOWN;
    return *pid == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
}

HRESULT CExternalDispatch::Invoke(DISPID dispIdMember, REFIID, LCID, WORD wFlags,
                                  DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                  EXCEPINFO* pExcepInfo, UINT*) {
    return Call(dispIdMember, wFlags, pDispParams, pVarResult, pExcepInfo, nullptr);
}

HRESULT CExternalDispatch::InvokeEx(DISPID id, LCID, WORD wFlags, DISPPARAMS* pdp, VARIANT* pvarRes,
                                    EXCEPINFO* pei, IServiceProvider* pspCaller) {
    std::wstring callerUrl;
    const bool named = GetCallerUrl(pspCaller, &callerUrl);
    return Call(id, wFlags, pdp, pvarRes, pei, named ? &callerUrl : nullptr);
}

HRESULT CExternalDispatch::Call(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                                EXCEPINFO* excep, const std::wstring* callerUrl) {
    // The page may have changed since it looked the member up; the top document and the
    // caller are checked again on every call.
    if (m_pEvents == nullptr || !m_check || !m_check(callerUrl)) {
        return FailCall(excep, E_ACCESSDENIED, L"Access is denied.");
    }
    if (id < 1 || static_cast<size_t>(id) > m_names.size() || (flags & kCallKinds) == 0) {
        return DISP_E_MEMBERNOTFOUND;
    }
    // The automation order is the reverse of the script's; named arguments (this) come first.
    std::vector<VARIANT> args;
    if (params != nullptr && params->cArgs > params->cNamedArgs) {
        if (params->rgvarg == nullptr) {
            return E_POINTER;
        }
        args.resize(params->cArgs - params->cNamedArgs);
        for (size_t i = 0; i < args.size(); ++i) {
            VariantInit(&args[i]);
            VariantCopyInd(&args[i], &params->rgvarg[params->cArgs - 1 - i]);
        }
    }
    VARIANT answer;
    VariantInit(&answer);
    // A command may close the window and so free the view; this object lives on meanwhile.
    AddRef();
    const std::wstring name = m_names[id - 1];
    // The engine asks for a call whose result the script uses, with arguments, as a call and
    // a property read at once; in the script it is a call, as on the other platforms.
    const WORD kind = (flags & DISPATCH_METHOD) != 0 ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
    HRESULT hr = m_pEvents->OnExternalCall(name, kind, args, &answer);
    for (VARIANT& arg : args) {
        VariantClear(&arg);
    }
    if (SUCCEEDED(hr) && result != nullptr) {
        *result = answer;
    } else {
        VariantClear(&answer);
    }
    Release();
    if (FAILED(hr)) {
        return FailCall(excep, hr, (L"window.external." + name + L" failed").c_str());
    }
    return hr;
}

HRESULT CExternalDispatch::DeleteMemberByName(BSTR, DWORD) {
    return S_FALSE;
}

HRESULT CExternalDispatch::DeleteMemberByDispID(DISPID) {
    return S_FALSE;
}

HRESULT CExternalDispatch::GetMemberProperties(DISPID, DWORD, DWORD*) {
    return E_NOTIMPL;
}

HRESULT CExternalDispatch::GetMemberName(DISPID id, BSTR* pbstrName) {
    if (pbstrName == nullptr) {
        return E_POINTER;
    }
    *pbstrName = nullptr;
    if (id < 1 || static_cast<size_t>(id) > m_names.size()) {
        return DISP_E_UNKNOWNNAME;
    }
    *pbstrName = SysAllocString(m_names[id - 1].c_str());
    return S_OK;
}

HRESULT CExternalDispatch::GetNextDispID(DWORD, DISPID, DISPID* pid) {
    // The members are not listed: a page learns of a command only by naming it.
    if (pid != nullptr) {
        *pid = DISPID_UNKNOWN;
    }
    return S_FALSE;
}

HRESULT CExternalDispatch::GetNameSpaceParent(IUnknown** ppunk) {
    if (ppunk != nullptr) {
        *ppunk = nullptr;
    }
    return E_NOTIMPL;
}

}  // namespace platform::win32
