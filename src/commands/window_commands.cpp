#include "commands/window_commands.h"

#include <string>

#include "app/environment.h"
#include "app/log.h"
#include "browser/iewapper_wnd.h"
#include "browser/script_arguments.h"
#include "commands/command_support.h"
#include "platform/ui.h"

HRESULT CInvokeHandler_Alert::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams, VARIANT*,
                                     EXCEPINFO*, UINT*) {
    if (IsPropertyRead(wFlags)) {
        return E_NOTIMPL;
    }
    if (!IsMethodCall(wFlags)) {
        return S_OK;
    }
    if (pDispParams == nullptr || pDispParams->cArgs != 2) {
        return E_FAIL;
    }
    std::wstring caption;
    std::wstring text;
    HRESULT hr = GetScriptText(pDispParams, 0, caption);
    if (SUCCEEDED(hr)) {
        hr = GetScriptText(pDispParams, 1, text);
    }
    if (FAILED(hr)) {
        return hr;
    }
    MessageBoxW(m_hOwnerWnd, text.c_str(), caption.c_str(), MB_OK);
    WriteLog(info, L"call %s, Caption=%s, text=%s", m_strName.c_str(), caption.c_str(),
             text.c_str());
    return S_OK;
}

HRESULT CInvokeHandler_CloseWnd::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS*, VARIANT* pVarResult,
                                        EXCEPINFO*, UINT*) {
    if (IsPropertyRead(wFlags) && pVarResult != nullptr) {
        return E_NOTIMPL;
    }
    if (!IsMethodCall(wFlags)) {
        return S_OK;
    }
    std::wstring title = m_pOwnerWnd != nullptr ? m_pOwnerWnd->GetWindowText() : std::wstring();
    WriteLog(info, L"call %s, window:%s", m_strName.c_str(), title.c_str());
    if (m_pOwnerWnd != nullptr && m_pOwnerWnd->GetSafeHwnd() != nullptr) {
        m_pOwnerWnd->PostMessage(WM_CLOSE, 0, 0);
    }
    return S_OK;
}

HRESULT CInvokeHandler_GetAppVersion::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                             VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (!AnswerReadAndContinue(wFlags, pVarResult)) {
        return S_OK;
    }
    LONG wantNumber = 0;
    HRESULT hr = GetScriptInt(pDispParams, 0, wantNumber);
    if (FAILED(hr)) {
        return hr;
    }
    if (wantNumber != 0) {
        double version = static_cast<double>(GetAppVersionNumber());
        if (pVarResult != nullptr) {
            VariantInit(pVarResult);
            pVarResult->vt = VT_R8;
            pVarResult->dblVal = version;
        }
        WriteLog(info, L"call %s, return:%f", m_strName.c_str(), version);
        return S_OK;
    }
    std::wstring version = GetAppVersionString();
    hr = SetTextResult(pVarResult, version);
    if (FAILED(hr)) {
        return hr;
    }
    WriteLog(info, L"call %s, return:%s", m_strName.c_str(), version.c_str());
    return S_OK;
}

HRESULT CInvokeHandler_IsClient::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS*, VARIANT* pVarResult,
                                        EXCEPINFO*, UINT*) {
    if (IsPropertyRead(wFlags)) {
        WriteLog(info, L"GetPropery %s", m_strName.c_str());
        SetBoolResult(pVarResult, true);
    }
    if (IsMethodCall(wFlags)) {
        SetBoolResult(pVarResult, true);
    }
    return S_OK;
}
