#include "commands/cookie_commands.h"

#include "app/log.h"
#include "browser/page_trust.h"
#include "browser/script_arguments.h"
#include "commands/command_support.h"
#include "platform/url_parts.h"
#include "platform/web_view.h"

namespace {

// Whether the command may reach url's cookies; a refusal is logged with the host alone.
bool IsServiceCookieUrl(const std::wstring& command, const std::wstring& url,
                        const CCookieStore& store) {
    if (store.Services().IsServiceCookieUrl(url)) {
        return true;
    }
    platform::CUrlParts parts;
    WriteLog(info, L"call %s refused: host %s is not a host of the service", command.c_str(),
             parts.Parse(url) ? parts.m_strHost.c_str() : L"(none)");
    return false;
}

}  // namespace

const CCookieStore& PlatformCookieStore() {
    static const CCookieStore store{platform::GetCookieText, platform::SetCookieText,
                                    GetTrustedPages};
    return store;
}

std::wstring FindCookieInText(const std::wstring& text, const std::wstring& name) {
    const std::wstring key = name + L"=";
    size_t at = text.find(key);
    if (at == std::wstring::npos) {
        return std::wstring();
    }
    if (at != 0 && text[at - 1] != L' ' && text[at - 1] != L';') {
        return std::wstring();
    }
    size_t end = text.find(L';', at);
    return end == std::wstring::npos ? text.substr(at) : text.substr(at, end - at);
}

BOOL ReadCookie(const std::wstring& url, const std::wstring& name, std::wstring& cookie,
                const CCookieStore& store) {
    cookie.clear();
    std::wstring text;
    // A read that fails counts as a URL without cookies; its text is not used.
    if (!store.GetCookieText(url, &text) || text.empty()) {
        return FALSE;
    }
    cookie = FindCookieInText(text, name);
    return TRUE;
}

BOOL WriteCookie(const std::wstring& url, const std::wstring& name, const std::wstring& data,
                 const CCookieStore& store) {
    return store.SetCookieText(url, name, data, store.Services().HostNames()) ? TRUE : FALSE;
}

HRESULT CInvokeHandler_GetCookie::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                         VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (IsPropertyRead(wFlags) && pVarResult != nullptr) {
        return E_NOTIMPL;
    }
    if (!IsMethodCall(wFlags)) {
        return S_OK;
    }
    std::wstring url;
    std::wstring name;
    HRESULT hr = GetScriptText(pDispParams, 0, url);
    if (SUCCEEDED(hr)) {
        hr = GetScriptText(pDispParams, 1, name);
    }
    if (FAILED(hr)) {
        return hr;
    }
    if (!IsServiceCookieUrl(m_strName, url, m_store)) {
        return pVarResult != nullptr ? SetTextResult(pVarResult, std::wstring()) : S_OK;
    }
    std::wstring found;
    ReadCookie(url, name, found, m_store);
    std::wstring value = found;
    if (pVarResult != nullptr) {
        value = found.empty() ? found : found.substr(name.size() + 1);
        hr = SetTextResult(pVarResult, value);
        if (FAILED(hr)) {
            return hr;
        }
    }
    WriteLog(info, L"call %s, URL=%s, CookieName=%s, CookieData length:%u", m_strName.c_str(),
             url.c_str(), name.c_str(), static_cast<unsigned>(value.size()));
    return S_OK;
}

HRESULT CInvokeHandler_SetCookie::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* pDispParams,
                                         VARIANT* pVarResult, EXCEPINFO*, UINT*) {
    if (IsPropertyRead(wFlags)) {
        return E_NOTIMPL;
    }
    if (!IsMethodCall(wFlags)) {
        return S_OK;
    }
    std::wstring url;
    std::wstring name;
    std::wstring data;
    HRESULT hr = GetScriptText(pDispParams, 0, url);
    if (SUCCEEDED(hr)) {
        hr = GetScriptText(pDispParams, 1, name);
    }
    if (SUCCEEDED(hr)) {
        hr = GetScriptText(pDispParams, 2, data);
    }
    if (FAILED(hr)) {
        return hr;
    }
    SetBoolResult(pVarResult, true);
    if (!IsServiceCookieUrl(m_strName, url, m_store)) {
        return S_OK;
    }
    BOOL stored = WriteCookie(url, name, data, m_store);
    WriteLog(info, L"call %s, URL=%s, CookieName=%s, CookieData length:%u%s", m_strName.c_str(),
             url.c_str(), name.c_str(), static_cast<unsigned>(data.size()),
             stored ? L"" : L", refused by the cookie store");
    return S_OK;
}
