#include "browser/main_dispatch_imp.h"

#include <algorithm>
#include <cwchar>

CMainDispatchImp::~CMainDispatchImp() {
    m_handlers.clear();
    m_handlers.shrink_to_fit();
}

void CMainDispatchImp::RegisterHandler(CInvokeHandler* handler) {
    if (handler == nullptr ||
        std::find(m_handlers.begin(), m_handlers.end(), handler) != m_handlers.end()) {
        return;
    }
    m_handlers.push_back(handler);
}

HRESULT STDMETHODCALLTYPE CMainDispatchImp::GetIDsOfNames(REFIID, LPOLESTR* rgszNames, UINT cNames,
                                                          LCID, DISPID* rgDispId) {
    HRESULT result = S_OK;
    if (cNames == 0) {
        return result;
    }
    if (rgszNames == nullptr || rgDispId == nullptr) {
        return E_POINTER;
    }
    for (UINT i = 0; i < cNames; ++i) {
        rgDispId[i] = DISPID_UNKNOWN;
        const wchar_t* name = rgszNames[i];
        for (size_t position = 0; name != nullptr && position < m_handlers.size(); ++position) {
            // Exact comparison: "alert" does not find "Alert", and the first of equal names wins.
            if (m_handlers[position]->GetName() == name) {
                rgDispId[i] = static_cast<DISPID>(position);
                break;
            }
        }
        if (rgDispId[i] == DISPID_UNKNOWN) {
            result = DISP_E_UNKNOWNNAME;
        }
    }
    return result;
}

HRESULT STDMETHODCALLTYPE CMainDispatchImp::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid,
                                                   WORD wFlags, DISPPARAMS* pDispParams,
                                                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                                                   UINT* puArgErr) {
    if (dispIdMember < 0 || static_cast<size_t>(dispIdMember) >= m_handlers.size()) {
        return S_OK;
    }
    return m_handlers[dispIdMember]->Invoke(riid, lcid, wFlags, pDispParams, pVarResult, pExcepInfo,
                                            puArgErr);
}
