#include "browser/idispatch_imp.h"

HRESULT STDMETHODCALLTYPE CIDispatchImp::QueryInterface(REFIID riid, void** ppvObject) {
    if (ppvObject == nullptr) {
        return E_POINTER;
    }
    *ppvObject = nullptr;
    if (!IsEqualIID(riid, IID_IDispatch)) {
        return E_NOINTERFACE;
    }
    *ppvObject = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

ULONG STDMETHODCALLTYPE CIDispatchImp::AddRef() {
    return static_cast<ULONG>(++m_nRefCount);
}

// The owner deletes the object whatever the count, so reaching 0 changes nothing.
ULONG STDMETHODCALLTYPE CIDispatchImp::Release() {
    return static_cast<ULONG>(--m_nRefCount);
}

HRESULT STDMETHODCALLTYPE CIDispatchImp::GetTypeInfoCount(UINT*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CIDispatchImp::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CIDispatchImp::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE CIDispatchImp::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                                EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}
