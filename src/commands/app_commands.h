// The commands that reach the application through its main window: opening the option window
// and restarting the client.
#pragma once

#include "browser/invoke_handler.h"

class CIEWapperWnd;

// "OpenOptionWnd"(): the main window opens (or brings up) the option window.
class CInvokeHandler_OpenOptionWnd : public CInvokeHandler {
public:
    explicit CInvokeHandler_OpenOptionWnd(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
};

// "RestartApp"(): closes the popup it lives in, then has the main window restart the client.
class CInvokeHandler_RestartApp : public CInvokeHandler {
public:
    CInvokeHandler_RestartApp(const wchar_t* name, CIEWapperWnd* pOwnerWnd)
        : CInvokeHandler(name), m_pOwnerWnd(pOwnerWnd) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    CIEWapperWnd* const m_pOwnerWnd;
};
