#include "commands/command_support.h"

#include <cstdarg>
#include <cwchar>
#include <vector>

#include "app/log.h"

bool AnswerReadAndContinue(WORD wFlags, VARIANT* pVarResult) {
    if (IsPropertyRead(wFlags)) {
        SetBoolResult(pVarResult, true);
    }
    return IsMethodCall(wFlags);
}

HRESULT GetScriptValue(const DISPPARAMS* params, UINT position, const VARIANT** value) {
    *value = nullptr;
    if (params == nullptr || params->rgvarg == nullptr || position >= params->cArgs) {
        return E_FAIL;
    }
    *value = &params->rgvarg[params->cArgs - 1 - position];
    return S_OK;
}

void SetBoolResult(VARIANT* pVarResult, bool value) {
    if (pVarResult == nullptr) {
        return;
    }
    VariantInit(pVarResult);
    pVarResult->vt = VT_BOOL;
    pVarResult->boolVal = value ? 1 : 0;
}

HRESULT SetTextResult(VARIANT* pVarResult, const std::wstring& text) {
    if (pVarResult == nullptr) {
        return S_OK;
    }
    VariantInit(pVarResult);
    BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (copy == nullptr) {
        return E_OUTOFMEMORY;
    }
    pVarResult->vt = VT_BSTR;
    pVarResult->bstrVal = copy;
    return S_OK;
}

std::wstring FormatText(const wchar_t* format, ...) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list args;
        va_start(args, format);
        int n = std::vswprintf(buffer.data(), buffer.size(), format, args);
        va_end(args);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) {
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        }
        // -1 means a short buffer or a bad format; a bad format never fits, so stop somewhere.
        if (buffer.size() >= (1u << 24)) {
            return std::wstring();
        }
        buffer.resize(buffer.size() * 4);
    }
}

std::wstring DescribeOptionValue(const VARIANT& value) {
    if (value.vt == VT_BSTR) {
        std::wstring text(value.bstrVal != nullptr ? value.bstrVal : L"",
                          SysStringLen(value.bstrVal));
        return L"Value:" + text;
    }
    return FormatText(L"Value:%d", static_cast<int>(value.lVal));
}

void LogCommandLine(const std::wstring& text) {
    WriteLog(info, L"%s", text.c_str());
}
