#include "browser/script_arguments.h"

HRESULT GetScriptArgument(const DISPPARAMS* params, UINT position, VARTYPE vt,
                          const VARIANT** value) {
    *value = nullptr;
    if (params == nullptr || params->rgvarg == nullptr || position >= params->cArgs) {
        return E_FAIL;
    }
    const VARIANT& argument = params->rgvarg[params->cArgs - 1 - position];
    if (argument.vt != vt) {
        return DISP_E_TYPEMISMATCH;
    }
    *value = &argument;
    return S_OK;
}

HRESULT GetScriptText(const DISPPARAMS* params, UINT position, std::wstring& text) {
    const VARIANT* argument = nullptr;
    HRESULT hr = GetScriptArgument(params, position, VT_BSTR, &argument);
    if (FAILED(hr)) {
        return hr;
    }
    text.assign(argument->bstrVal != nullptr ? argument->bstrVal : L"",
                SysStringLen(argument->bstrVal));
    return S_OK;
}

HRESULT GetScriptInt(const DISPPARAMS* params, UINT position, LONG& value) {
    for (VARTYPE vt : {VT_I4, VT_INT, VT_BOOL}) {
        const VARIANT* argument = nullptr;
        HRESULT hr = GetScriptArgument(params, position, vt, &argument);
        if (hr == E_FAIL) {
            return hr;
        }
        if (SUCCEEDED(hr)) {
            value = vt == VT_BOOL  ? static_cast<LONG>(argument->boolVal)
                    : vt == VT_INT ? static_cast<LONG>(argument->intVal)
                                   : argument->lVal;
            return S_OK;
        }
    }
    return DISP_E_TYPEMISMATCH;
}
