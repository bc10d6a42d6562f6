// The shared cookie store for the cookie commands: WinINet's per-user jar, the one the browser
// control uses. HttpOnly cookies stay out of the commands' reach, as they stay out of
// document.cookie.
#include <windows.h>

#include <wininet.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "platform/url_parts.h"
#include "platform/web_view.h"

namespace platform {
namespace {

std::wstring Trim(const std::wstring& text) {
    const size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
}

std::wstring Lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t ch) { return static_cast<wchar_t>(std::towlower(ch)); });
    return text;
}

// The name a server reads from "name=value" (a cookie without a name is sent as its bare
// value, so "sid=x" with no name arrives as sid=x); compared without regard to case, as some
// servers do.
std::wstring SentName(const std::wstring& pair) {
    return Lower(Trim(pair.substr(0, pair.find(L'='))));
}

// The cookies a request to url would carry, as WinINet lists them ("a=1; b=2").
std::wstring ReadCookies(const std::wstring& url, DWORD flags) {
    DWORD size = 0;
    if (!InternetGetCookieExW(url.c_str(), nullptr, nullptr, &size, flags, nullptr) || size == 0) {
        return std::wstring();
    }
    // The size may be counted in bytes or in characters; the buffer holds either.
    std::vector<wchar_t> buffer(size + 1, L'\0');
    if (!InternetGetCookieExW(url.c_str(), nullptr, buffer.data(), &size, flags, nullptr)) {
        return std::wstring();
    }
    return buffer.data();
}

std::vector<std::wstring> SentNames(const std::wstring& text) {
    std::vector<std::wstring> names;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L';', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        const std::wstring pair = Trim(text.substr(start, end - start));
        if (!pair.empty()) {
            names.push_back(SentName(pair));
        }
        start = end + 1;
    }
    return names;
}

// Whether a request to url carries an HttpOnly cookie read as name: the full list holds
// more cookies of that name than the list a script may see.
bool SendsHttpOnly(const std::wstring& url, const std::wstring& name) {
    const std::vector<std::wstring> all = SentNames(ReadCookies(url, INTERNET_COOKIE_HTTPONLY));
    const std::vector<std::wstring> visible = SentNames(ReadCookies(url, 0));
    return std::count(all.begin(), all.end(), name) >
           std::count(visible.begin(), visible.end(), name);
}

// Where a Set-Cookie text puts its cookie for a request to caller.
struct CookiePlace {
    std::wstring name;
    std::wstring domain;
    std::wstring path;
    bool httpOnly = false;
};

CookiePlace PlaceOf(const std::wstring& header, const CUrlParts& caller) {
    CookiePlace place;
    size_t start = 0;
    bool first = true;
    while (start <= header.size()) {
        size_t end = header.find(L';', start);
        if (end == std::wstring::npos) {
            end = header.size();
        }
        const std::wstring part = Trim(header.substr(start, end - start));
        start = end + 1;
        if (first) {
            place.name = SentName(part);
            first = false;
            continue;
        }
        const size_t equals = part.find(L'=');
        const std::wstring key = Lower(Trim(part.substr(0, equals)));
        const std::wstring value =
            equals == std::wstring::npos ? L"" : Trim(part.substr(equals + 1));
        if (key == L"httponly") {
            place.httpOnly = true;
        } else if (key == L"domain" && !value.empty()) {
            place.domain = Lower(value[0] == L'.' ? value.substr(1) : value);
        } else if (key == L"path" && !value.empty() && value[0] == L'/') {
            place.path = value;
        }
    }
    if (place.domain.empty()) {
        place.domain = caller.m_strHost;
    }
    if (place.path.empty()) {
        // The default path: the caller's path up to its last '/'.
        const size_t slash = caller.m_strPath.rfind(L'/');
        place.path =
            slash == std::wstring::npos || slash == 0 ? L"/" : caller.m_strPath.substr(0, slash);
    }
    return place;
}

}  // namespace

bool GetCookieText(const std::wstring& url, std::wstring* text) {
    // Without INTERNET_COOKIE_HTTPONLY the jar leaves HttpOnly cookies out.
    *text = ReadCookies(url, 0);
    return !text->empty();
}

bool SetCookieText(const std::wstring& url, const std::wstring& name, const std::wstring& data,
                   const std::vector<std::wstring>& serviceHosts) {
    CUrlParts caller;
    if (!caller.Parse(url) || caller.m_strHost.empty() ||
        (caller.m_strScheme != L"http" && caller.m_strScheme != L"https")) {
        return false;
    }
    const CookiePlace place = PlaceOf(name.empty() ? data : name + L"=" + data, caller);
    // Neither planting an HttpOnly cookie nor touching one a server set: one sent to the
    // caller, or one sent where the new cookie's own Domain= and Path= put it.
    if (place.httpOnly || SendsHttpOnly(url, place.name)) {
        return false;
    }
    // The jar cannot list its cookies: ask for each place the new cookie would be sent to, the
    // Domain= itself and every service host below it (a host-only cookie of www is not sent to
    // the bare domain).
    std::vector<std::wstring> hosts{place.domain};
    for (const std::wstring& host : serviceHosts) {
        if (IsHostUnderDomain(host, place.domain)) {
            hosts.push_back(host);
        }
    }
    for (const std::wstring& host : hosts) {
        for (const wchar_t* scheme : {L"http://", L"https://"}) {
            if (SendsHttpOnly(scheme + host + place.path, place.name)) {
                return false;
            }
        }
    }
    const DWORD state = InternetSetCookieExW(url.c_str(), name.empty() ? nullptr : name.c_str(),
                                             data.c_str(), 0, 0);
    return state != 0 && state != COOKIE_STATE_REJECT;
}

}  // namespace platform
