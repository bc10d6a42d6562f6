// "GetCustomOptionData"(key) and "SetCustomOptionData"(value, key): options that pages define
// for themselves, kept in config.ini as text or integer.
#pragma once

#include <string>

#include "browser/invoke_handler.h"

class CInvokeHandler_GetCustomOptionData : public CInvokeHandler {
public:
    explicit CInvokeHandler_GetCustomOptionData(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
};

class CInvokeHandler_SetCustomOptionData : public CInvokeHandler {
public:
    explicit CInvokeHandler_SetCustomOptionData(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;
};

// Shared with "GetOptionData"/"SetOptionData" for "CUSTOM": the option's value goes into the
// result slot (when there is one) and the log text gets "Key:%ls   Value:..." (and a note
// when config.ini refuses a value).
HRESULT ReadCustomOptionInto(const std::wstring& key, VARIANT* pVarResult, std::wstring& log);
// The page's answer: false only for an option past its bounds, whose log text then gives the
// lengths alone.
bool StoreCustomOption(const std::wstring& key, const VARIANT& value, std::wstring& log);
