#include "browser/external_call.h"

namespace {

HRESULT GetMemberId(IDispatch* external, const std::wstring& name, DISPID* id) {
    *id = DISPID_UNKNOWN;
    if (external == nullptr) {
        return DISP_E_UNKNOWNNAME;
    }
    std::wstring copy = name;
    LPOLESTR names[] = {copy.data()};
    HRESULT hr = external->GetIDsOfNames(IID_NULL, names, 1, 0, id);
    if (FAILED(hr) || *id == DISPID_UNKNOWN) {
        return DISP_E_UNKNOWNNAME;
    }
    return S_OK;
}

}  // namespace

HRESULT LookUpExternalMember(IDispatch* external, const std::wstring& name) {
    DISPID id;
    return GetMemberId(external, name, &id);
}

HRESULT InvokeExternalMember(IDispatch* external, const std::wstring& name, WORD flags,
                             const std::vector<VARIANT>& scriptArgs, VARIANT* result) {
    DISPID id;
    HRESULT hr = GetMemberId(external, name, &id);
    if (FAILED(hr)) {
        return hr;
    }
    // A command may change or free its arguments, so it gets copies; the script's values
    // stay with their owner.
    std::vector<VARIANT> args(scriptArgs.size());
    for (size_t i = 0; i < scriptArgs.size(); ++i) {
        VariantInit(&args[i]);
        // Some SDK headers take the source without const; it is only read.
        hr = VariantCopy(&args[i], const_cast<VARIANT*>(&scriptArgs[scriptArgs.size() - 1 - i]));
        if (FAILED(hr)) {
            for (VARIANT& arg : args) {
                VariantClear(&arg);
            }
            return hr;
        }
    }
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()),
                      0};
    // The page's window may go away inside the call (a command that closes it), taking
    // external with it, so external is not used after Invoke returns.
    EXCEPINFO exception{};
    UINT argErr = 0;
    hr = external->Invoke(id, IID_NULL, 0, flags, &params, result, &exception, &argErr);
    for (VARIANT& arg : args) {
        VariantClear(&arg);
    }
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}
