// The browser host's dispatch objects offer no type information: the control and page scripts
// reach them by name or DISPID only.
#pragma once

#include <windows.h>

#include <oaidl.h>

namespace platform::win32 {

template <class Interface>
class CUntypedDispatch : public Interface {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override {
        if (pctinfo != nullptr) {
            *pctinfo = 0;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ppTInfo) override {
        if (ppTInfo != nullptr) {
            *ppTInfo = nullptr;
        }
        return E_NOTIMPL;
    }
};

}  // namespace platform::win32
