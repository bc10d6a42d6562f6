// The commands that act on the calling page's window: a message box, closing the window, the
// client's version and the question whether the page runs inside the client.
#pragma once

#include "browser/invoke_handler.h"
#include "platform/types.h"

class CIEWapperWnd;

// "Alert"(caption, text): a modal box owned by m_hOwnerWnd.
class CInvokeHandler_Alert : public CInvokeHandler {
public:
    explicit CInvokeHandler_Alert(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // Set by the window when it registers its commands; 0 gives a box without owner.
    HWND m_hOwnerWnd = nullptr;
};

// "CloseWnd"(): posts WM_CLOSE to the window the command lives in.
class CInvokeHandler_CloseWnd : public CInvokeHandler {
public:
    CInvokeHandler_CloseWnd(const wchar_t* name, CIEWapperWnd* pOwnerWnd)
        : CInvokeHandler(name), m_pOwnerWnd(pOwnerWnd) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    CIEWapperWnd* const m_pOwnerWnd;
};

// "GetAppVersion"(numeric): the version as a number (VT_R8) or as its text.
class CInvokeHandler_GetAppVersion : public CInvokeHandler {
public:
    explicit CInvokeHandler_GetAppVersion(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
};

// "IsTavnelClient": true, read as a property or called.
class CInvokeHandler_IsClient : public CInvokeHandler {
public:
    explicit CInvokeHandler_IsClient(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
};
