// "GetOptionData" and "SetOptionData": the client's fixed options by data name ("AUTORUN",
// "AUTOUPDATE", "HOTKEY_MODIFIERS", "HOTKEY_VK", "CHECKUPDATE", "CUSTOM"). The data name is
// always the last argument. The option window offers them as its own nested classes.
// "GetOptionData" also answers "SERVICE_START_URL", the address the local start page leads to,
// which is deployment configuration that a page cannot know by itself.
#pragma once

#include "browser/invoke_handler.h"

class CInvokeHandler_GetOptionData : public CInvokeHandler {
public:
    explicit CInvokeHandler_GetOptionData(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
};

class CInvokeHandler_SetOptionData : public CInvokeHandler {
public:
    explicit CInvokeHandler_SetOptionData(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
};
