// "GetCookie" and "SetCookie": cookies of the service's hosts in the store the pages use (on
// Windows the user's jar, shared with other programs: other sites' cookies stay out of reach).
// The store never
// hands an HttpOnly cookie to these commands nor takes one from them, and the log shows the
// length of a cookie's data, never the data: a session cookie in a log file is a leaked
// credential.
#pragma once

#include <string>

#include <vector>

#include "browser/invoke_handler.h"
#include "platform/trusted_pages.h"

// The cookie store the commands reach: the platform's shared store, or a stand-in in tests.
struct CCookieStore {
    // The URL's cookies as "name1=value1; name2=value2"; false when it has none.
    bool (*GetCookieText)(const std::wstring& url, std::wstring* text);
    // Stores "name=data" (data may carry attributes); false when the store refuses it, as it
    // does for a cookie that would touch an HttpOnly one of serviceHosts.
    bool (*SetCookieText)(const std::wstring& url, const std::wstring& name,
                          const std::wstring& data, const std::vector<std::wstring>& serviceHosts);
    // The service whose cookies the commands reach.
    platform::CTrustedPages (*Services)();
};
const CCookieStore& PlatformCookieStore();

// The named cookie out of a cookie text, as "name=value": only the key's first occurrence
// counts, and only at the start or after a blank or ";". Empty when the cookie is absent.
std::wstring FindCookieInText(const std::wstring& text, const std::wstring& name);

// 1 when the URL has any cookie text, else 0; cookie holds "name=value" or is empty.
BOOL ReadCookie(const std::wstring& url, const std::wstring& name, std::wstring& cookie,
                const CCookieStore& store = PlatformCookieStore());
BOOL WriteCookie(const std::wstring& url, const std::wstring& name, const std::wstring& data,
                 const CCookieStore& store = PlatformCookieStore());

// "GetCookie"(url, name): the cookie's value, empty when there is none or the URL is not the
// service's.
class CInvokeHandler_GetCookie : public CInvokeHandler {
public:
    explicit CInvokeHandler_GetCookie(const wchar_t* name,
                                      const CCookieStore& store = PlatformCookieStore())
        : CInvokeHandler(name), m_store(store) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    const CCookieStore& m_store;
};

// "SetCookie"(url, name, data): stores the cookie of a service URL; answers true whatever the
// store did.
class CInvokeHandler_SetCookie : public CInvokeHandler {
public:
    explicit CInvokeHandler_SetCookie(const wchar_t* name,
                                      const CCookieStore& store = PlatformCookieStore())
        : CInvokeHandler(name), m_store(store) {}
    HRESULT Invoke(REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    const CCookieStore& m_store;
};
