#include "commands/option_data_commands.h"

#include <cstdint>
#include <string>

#include "app/main_app.h"
#include "app/update_channel.h"
#include "browser/script_arguments.h"
#include "browser/service_start_page.h"
#include "commands/command_support.h"
#include "commands/custom_option_commands.h"
#include "config/client_options.h"

namespace {

const wchar_t* OnOff(bool on) {
    return on ? L"ture" : L"false";
}

// The data name is the last argument, whatever their number; the log line starts with it.
HRESULT ReadDataName(const std::wstring& command, const DISPPARAMS* params, std::wstring& name,
                     std::wstring& log) {
    if (params == nullptr || params->cArgs == 0) {
        return E_FAIL;
    }
    HRESULT hr = GetScriptText(params, params->cArgs - 1, name);
    log = FormatText(L"call %ls, DataName:%ls, ", command.c_str(), name.c_str());
    return hr;
}

// Options take the low 16 bits of the value a page passes before the data name.
HRESULT ReadLow16(const DISPPARAMS* params, uint16_t& value) {
    if (params->cArgs < 2) {
        return E_FAIL;
    }
    LONG number = 0;
    HRESULT hr = GetScriptInt(params, 0, number);
    value = static_cast<uint16_t>(number & 0xFFFF);
    return hr;
}

void SetIntResult(VARIANT* pVarResult, uint16_t value) {
    if (pVarResult != nullptr) {
        VariantInit(pVarResult);
        pVarResult->vt = VT_INT;
        pVarResult->intVal = value;
    }
}

}  // namespace

HRESULT CInvokeHandler_GetOptionData::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                             VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (!AnswerReadAndContinue(wFlags, pVarResult)) {
        return S_OK;
    }
    CClientOptions& options = GetClientOptions();
    std::wstring dataName;
    std::wstring log;
    HRESULT hr = ReadDataName(m_strName, pDispParams, dataName, log);
    if (FAILED(hr)) {
        return hr;
    }
    if (dataName == L"AUTORUN" || dataName == L"AUTOUPDATE") {
        if (pVarResult != nullptr) {
            bool on = dataName == L"AUTORUN" ? IsAutoRunEnabled() != FALSE
                                             : static_cast<int16_t>(options.autoUpdate) != 0;
            SetBoolResult(pVarResult, on);
            log += on ? L"return:ture" : L"return:false";
        }
    } else if (dataName == L"HOTKEY_MODIFIERS" || dataName == L"HOTKEY_VK") {
        if (pVarResult != nullptr) {
            uint16_t value = dataName == L"HOTKEY_VK" ? options.vk : options.modifiers;
            SetIntResult(pVarResult, value);
            log += FormatText(L"return:%d", static_cast<int>(value));
        }
    } else if (dataName == L"UPDATE_CHANNEL") {
        // How this installation is updated, so that the option page can say so.
        if (pVarResult != nullptr) {
            const std::wstring channel = GetUpdateChannelName();
            hr = SetTextResult(pVarResult, channel);
            if (FAILED(hr)) {
                return hr;
            }
            log += FormatText(L"return:%ls", channel.c_str());
        }
    } else if (dataName == L"SERVICE_START_URL") {
        if (pVarResult != nullptr) {
            std::wstring url = GetServiceStartUrl();
            hr = SetTextResult(pVarResult, url);
            if (FAILED(hr)) {
                return hr;
            }
            log += FormatText(L"return:%ls", url.c_str());
        }
    } else if (dataName == L"CUSTOM") {
        std::wstring key;
        hr = pDispParams->cArgs >= 2 ? GetScriptText(pDispParams, pDispParams->cArgs - 2, key)
                                     : E_FAIL;
        if (SUCCEEDED(hr)) {
            hr = ReadCustomOptionInto(key, pVarResult, log);
        }
        if (FAILED(hr)) {
            return hr;
        }
    } else {
        SetBoolResult(pVarResult, true);
    }
    LogCommandLine(log);
    return S_OK;
}

HRESULT CInvokeHandler_SetOptionData::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                             VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (!AnswerReadAndContinue(wFlags, pVarResult)) {
        return S_OK;
    }
    CClientOptions& options = GetClientOptions();
    std::wstring dataName;
    std::wstring log;
    HRESULT hr = ReadDataName(m_strName, pDispParams, dataName, log);
    if (FAILED(hr)) {
        return hr;
    }
    uint16_t value = 0;
    bool answer = true;
    if (dataName == L"AUTORUN" || dataName == L"AUTOUPDATE") {
        hr = ReadLow16(pDispParams, value);
        if (FAILED(hr)) {
            return hr;
        }
        // A script true arrives as -1: the 16 bits count as a signed number.
        int16_t flag = static_cast<int16_t>(value);
        if (dataName == L"AUTORUN") {
            SetAutoRun(flag);
        } else {
            options.autoUpdate = flag;
        }
        log += FormatText(L"value:%ls", OnOff(flag != 0));
    } else if (dataName == L"HOTKEY_MODIFIERS" || dataName == L"HOTKEY_VK") {
        hr = ReadLow16(pDispParams, value);
        if (FAILED(hr)) {
            return hr;
        }
        (dataName == L"HOTKEY_VK" ? options.vk : options.modifiers) = value;
        log += FormatText(L"value:%d", static_cast<int>(value));
    } else if (dataName == L"CHECKUPDATE") {
        if (CMainApp* app = AfxGetMainApp()) {
            app->StartUpdateCheck(TRUE);
        }
    } else if (dataName == L"CUSTOM") {
        std::wstring key;
        const VARIANT* customValue = nullptr;
        hr = pDispParams->cArgs >= 3 ? GetScriptText(pDispParams, 1, key) : E_FAIL;
        if (SUCCEEDED(hr)) {
            hr = GetScriptValue(pDispParams, 0, &customValue);
        }
        if (FAILED(hr)) {
            return hr;
        }
        answer = StoreCustomOption(key, *customValue, log);
    }
    SetBoolResult(pVarResult, answer);
    LogCommandLine(log);
    return S_OK;
}
