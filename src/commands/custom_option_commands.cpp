#include "commands/custom_option_commands.h"

#include "app/helpers.h"
#include "browser/script_arguments.h"
#include "commands/command_support.h"
#include "config/client_options.h"
#include "platform/text_encoding.h"

HRESULT ReadCustomOptionInto(const std::wstring& key, VARIANT* pVarResult, std::wstring& log) {
    VARIANT value;
    try {
        value = GetCustomOption(key);
    } catch (const HResultError& error) {
        return error.hr;
    }
    log += FormatText(L"Key:%ls   ", key.c_str()) + DescribeOptionValue(value);
    if (pVarResult != nullptr) {
        VariantInit(pVarResult);
        *pVarResult = value;  // the result slot takes over the BSTR
    } else {
        VariantClear(&value);
    }
    return S_OK;
}

bool StoreCustomOption(const std::wstring& key, const VARIANT& value, std::wstring& log) {
    if (!CustomOptionFits(key, value)) {
        log += FormatText(L"Key length:%u   Value length:%u, refused: too long",
                          static_cast<unsigned>(Utf16Length(key)),
                          static_cast<unsigned>(CustomOptionTextLength(value)));
        return false;
    }
    BOOL stored = SetCustomOption(key, value);
    log += FormatText(L"Key:%ls   ", key.c_str()) + DescribeOptionValue(value);
    // The page is answered as always; the log keeps the refusal.
    if (!stored) {
        log += L", refused by config.ini";
    }
    return true;
}

HRESULT CInvokeHandler_GetCustomOptionData::Invoke(REFIID, LCID, WORD wFlags,
                                                   DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                                   EXCEPINFO*, UINT*) {
    if (!AnswerReadAndContinue(wFlags, pVarResult)) {
        return S_OK;
    }
    GetClientOptions();
    std::wstring key;
    HRESULT hr = GetScriptText(pDispParams, 0, key);
    if (FAILED(hr)) {
        return hr;
    }
    std::wstring log = FormatText(L"call %ls, ", m_strName.c_str());
    hr = ReadCustomOptionInto(key, pVarResult, log);
    if (FAILED(hr)) {
        return hr;
    }
    LogCommandLine(log);
    return S_OK;
}

HRESULT CInvokeHandler_SetCustomOptionData::Invoke(REFIID, LCID, WORD wFlags,
                                                   DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                                   EXCEPINFO*, UINT*) {
    if (!AnswerReadAndContinue(wFlags, pVarResult)) {
        return S_OK;
    }
    GetClientOptions();
    std::wstring key;
    const VARIANT* value = nullptr;
    HRESULT hr = GetScriptText(pDispParams, 1, key);
    if (SUCCEEDED(hr)) {
        hr = GetScriptValue(pDispParams, 0, &value);
    }
    if (FAILED(hr)) {
        return hr;
    }
    std::wstring log = L"call SetCustomOptionData,";
    SetBoolResult(pVarResult, StoreCustomOption(key, *value, log));
    LogCommandLine(log);
    return S_OK;
}
