// One script command: the name a page calls on window.external and what the call does.
#pragma once

#include <string>

#include "platform/automation.h"

class CInvokeHandler {
public:
    explicit CInvokeHandler(const wchar_t* name) : m_strName(name != nullptr ? name : L"") {}
    virtual ~CInvokeHandler() = default;
    CInvokeHandler(const CInvokeHandler&) = delete;
    CInvokeHandler& operator=(const CInvokeHandler&) = delete;

    // IDispatch::Invoke without the DISPID. The bridge guarantees that rgvarg holds exactly
    // cArgs values, the script's first argument last; the page chooses their number and types,
    // so commands read them with the checks of browser/script_arguments.h.
    virtual HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                           VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;

    std::wstring GetName() const { return m_strName; }

protected:
    const std::wstring m_strName;
};
