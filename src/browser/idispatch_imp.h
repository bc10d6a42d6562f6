// The smallest automation object: only IDispatch is answered, and the reference count never
// ends the object's life (its owner deletes it).
#pragma once

#include "platform/automation.h"

class CIDispatchImp : public IDispatch {
public:
    CIDispatchImp() = default;
    virtual ~CIDispatchImp() = default;
    CIDispatchImp(const CIDispatchImp&) = delete;
    CIDispatchImp& operator=(const CIDispatchImp&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                            LCID lcid, DISPID* rgDispId) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                     DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                     EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    LONG GetRefCount() const { return m_nRefCount; }

protected:
    LONG m_nRefCount = 0;
};
