#include "platform/win32/browser_events.h"

#include <exdisp.h>
#include <exdispid.h>
#include <shobjidl.h>

namespace platform::win32 {
namespace {

// Argument i in the event's own order (the automation array holds them last first).
const VARIANT* Arg(const DISPPARAMS& params, UINT i) {
    return i < params.cArgs ? &params.rgvarg[params.cArgs - 1 - i] : nullptr;
}

const VARIANT* Deref(const VARIANT* value) {
    while (value != nullptr && value->vt == (VT_BYREF | VT_VARIANT)) {
        value = value->pvarVal;
    }
    return value;
}

std::wstring TextArg(const DISPPARAMS& params, UINT i) {
    const VARIANT* value = Deref(Arg(params, i));
    if (value == nullptr) {
        return std::wstring();
    }
    if (value->vt == VT_BSTR && value->bstrVal != nullptr) {
        return value->bstrVal;
    }
    if (value->vt == (VT_BYREF | VT_BSTR) && value->pbstrVal != nullptr &&
        *value->pbstrVal != nullptr) {
        return *value->pbstrVal;
    }
    return std::wstring();
}

IDispatch* DispatchArg(const DISPPARAMS& params, UINT i) {
    const VARIANT* value = Deref(Arg(params, i));
    return value != nullptr && value->vt == VT_DISPATCH ? value->pdispVal : nullptr;
}

LONG NumberArg(const DISPPARAMS& params, UINT i) {
    const VARIANT* value = Deref(Arg(params, i));
    if (value == nullptr) {
        return 0;
    }
    if (value->vt == VT_I4 || value->vt == VT_UI4) {
        return value->lVal;
    }
    return value->vt == (VT_BYREF | VT_I4) && value->plVal != nullptr ? *value->plVal : 0;
}

void SetCancel(const DISPPARAMS& params, UINT i, bool cancel) {
    const VARIANT* value = Arg(params, i);
    if (value != nullptr && value->vt == (VT_BYREF | VT_BOOL) && value->pboolVal != nullptr) {
        *value->pboolVal = cancel ? VARIANT_TRUE : VARIANT_FALSE;
    }
}

}  // namespace

CBrowserEvents::CBrowserEvents(IBrowserEventOwner* owner) : m_pOwner(owner) {}

HRESULT CBrowserEvents::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) {
        return E_POINTER;
    }
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
        IsEqualIID(riid, DIID_DWebBrowserEvents2)) {
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

HRESULT CBrowserEvents::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT CBrowserEvents::Invoke(DISPID dispIdMember, REFIID, LCID, WORD, DISPPARAMS* pDispParams,
                               VARIANT*, EXCEPINFO*, UINT*) {
    if (pDispParams == nullptr || (pDispParams->cArgs > 0 && pDispParams->rgvarg == nullptr)) {
        return E_INVALIDARG;
    }
    // The owner may let go of this object inside its handler.
    AddRef();
    Dispatch(dispIdMember, *pDispParams);
    Release();
    return S_OK;
}

void CBrowserEvents::Dispatch(DISPID id, const DISPPARAMS& params) {
    switch (id) {
        case DISPID_BEFORENAVIGATE2: {
            // (pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel)
            const bool cancel = m_pOwner == nullptr ||
                                m_pOwner->OnBrowserBeforeNavigate(
                                    DispatchArg(params, 0), TextArg(params, 1), TextArg(params, 3));
            SetCancel(params, 6, cancel);
            break;
        }
        case DISPID_NAVIGATECOMPLETE2:
            if (m_pOwner != nullptr) {
                m_pOwner->OnBrowserNavigateComplete(DispatchArg(params, 0), TextArg(params, 1));
            }
            break;
        case DISPID_DOCUMENTCOMPLETE:
            if (m_pOwner != nullptr) {
                m_pOwner->OnBrowserDocumentComplete(DispatchArg(params, 0), TextArg(params, 1));
            }
            break;
        case DISPID_TITLECHANGE:
            if (m_pOwner != nullptr) {
                m_pOwner->OnBrowserTitleChange(TextArg(params, 0));
            }
            break;
        case DISPID_NAVIGATEERROR: {
            // (pDisp, URL, TargetFrameName, StatusCode, Cancel)
            const bool cancel =
                m_pOwner != nullptr &&
                m_pOwner->OnBrowserNavigateError(DispatchArg(params, 0), TextArg(params, 1));
            SetCancel(params, 4, cancel);
            break;
        }
        case DISPID_NEWWINDOW3:
            // (ppDisp, Cancel, dwFlags, bstrUrlContext, bstrUrl): never a window of our own.
            SetCancel(params, 1, true);
            if (m_pOwner != nullptr) {
                m_pOwner->OnBrowserNewWindow(TextArg(params, 4),
                                             (NumberArg(params, 2) & NWMF_USERINITED) != 0);
            }
            break;
        case DISPID_NEWWINDOW2:
            // (ppDisp, Cancel): sent where NewWindow3 is not, and after it.
            SetCancel(params, 1, true);
            break;
        case DISPID_FILEDOWNLOAD:
            // (ActiveDocument, Cancel): a response the browser would save rather than show.
            if (Deref(Arg(params, 0)) != nullptr && Deref(Arg(params, 0))->vt == VT_BOOL &&
                Deref(Arg(params, 0))->boolVal == VARIANT_FALSE) {
                SetCancel(params, 1, true);
            }
            break;
        default:
            break;
    }
}

}  // namespace platform::win32
