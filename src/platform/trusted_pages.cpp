#include "platform/trusted_pages.h"

#include <algorithm>
#include <cwctype>

#include "platform/files.h"
#include "platform/url_parts.h"

namespace platform {
namespace {

std::wstring WithSlashes(std::wstring text) {
    std::replace(text.begin(), text.end(), L'\\', L'/');
    return text;
}

// A local path without "." or ".." steps, with '/' between folders.
std::wstring NormalPath(const std::wstring& path) {
    return WithSlashes(WideFromPath(PathFromWide(path).lexically_normal()));
}

int HexDigit(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9') {
        return ch - L'0';
    }
    ch = static_cast<wchar_t>(std::towlower(ch));
    return ch >= L'a' && ch <= L'f' ? ch - L'a' + 10 : -1;
}

// One round of %XX decoding, byte by byte; escapes that are not two hex digits stay.
std::wstring PercentDecoded(const std::wstring& text) {
    std::wstring decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == L'%' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = high >= 0 ? HexDigit(text[i + 2]) : -1;
        if (low < 0) {
            decoded.push_back(text[i]);
            continue;
        }
        decoded.push_back(static_cast<wchar_t>(high * 16 + low));
        i += 2;
    }
    return decoded;
}

// Windows drops trailing dots and spaces from a name, so "...", ".. " and ". ." are all "..";
// "." alone stays where it is.
bool IsParentStep(const std::wstring& step) {
    return step != L"." && step.find_first_not_of(L". ") == std::wstring::npos;
}

// CON, NUL.txt, "com1 .html": Windows opens the device whatever follows the name.
bool IsDeviceName(const std::wstring& step) {
    std::wstring base = step.substr(0, step.find(L'.'));
    base.erase(base.find_last_not_of(L' ') + 1);
    for (wchar_t& ch : base) {
        ch = static_cast<wchar_t>(std::towupper(ch));
    }
    if (base == L"CON" || base == L"PRN" || base == L"AUX" || base == L"NUL" || base == L"CONIN$" ||
        base == L"CONOUT$") {
        return true;
    }
    const std::wstring digits = L"0123456789\u00b9\u00b2\u00b3";
    return base.size() == 4 &&
           (base.compare(0, 3, L"COM") == 0 || base.compare(0, 3, L"LPT") == 0) &&
           digits.find(base[3]) != std::wstring::npos;
}

bool IsPlainForm(const std::wstring& path) {
    if (path.empty() || path.find_first_of(std::wstring(L":\0", 2)) != std::wstring::npos ||
        path[0] == L'/' || path[0] == L'\\') {
        return false;
    }
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find_first_of(L"/\\", start), path.size());
        const std::wstring step = path.substr(start, end - start);
        start = end + 1;
        if (!step.empty() && step != L"." && (IsParentStep(step) || IsDeviceName(step))) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool IsPlainPagePath(const std::wstring& relative) {
    // Every decoded form is checked too: a reader that decodes once more finds no way out.
    std::wstring form = relative;
    for (int round = 0; round < 4; ++round) {
        if (!IsPlainForm(form)) {
            return false;
        }
        std::wstring decoded = PercentDecoded(form);
        if (decoded == form) {
            return true;
        }
        form = std::move(decoded);
    }
    // Encoded more deeply than anyone decodes: not a name a page has a reason to give.
    return false;
}

void CTrustedPages::AddFolder(const std::wstring& folder) {
    if (folder.empty() || !PathFromWide(folder).is_absolute()) {
        return;
    }
    std::wstring normal = NormalPath(folder);
    if (normal.empty() || normal.back() != L'/') {
        normal += L'/';
    }
    m_folders.push_back(normal);
}

bool CTrustedPages::AddHost(const std::wstring& host) {
    CUrlParts parts;
    if (host.empty() || host.find_first_of(L"/?#@\\ ") != std::wstring::npos ||
        !parts.Parse(L"http://" + host) || parts.m_strHost.empty()) {
        return false;
    }
    m_hosts.push_back(Host{parts.m_strHost, parts.m_nPort});
    return true;
}

bool CTrustedPages::IsTrusted(const std::wstring& url) const {
    CUrlParts parts;
    std::wstring path;
    if (!parts.Parse(url)) {
        if (!PathFromWide(url).is_absolute()) {
            return false;
        }
        path = url;
    } else if (parts.m_strScheme == L"file") {
        if (!parts.FilePath(&path)) {
            return false;
        }
    } else if (parts.m_strScheme == L"https" || (parts.m_strScheme == L"http" && !m_bHttpsOnly)) {
        int port = parts.EffectivePort();
        for (const Host& host : m_hosts) {
            int wanted = host.port >= 0 ? host.port : (parts.m_strScheme == L"https" ? 443 : 80);
            if (host.name == parts.m_strHost && wanted == port) {
                return true;
            }
        }
        return false;
    } else {
        return false;
    }
    // The path as reported, not folded first: what follows the folder must stand on its own.
    const std::wstring reported = WithSlashes(path);
    for (const std::wstring& folder : m_folders) {
        if (reported.size() > folder.size() && reported.compare(0, folder.size(), folder) == 0 &&
            IsPlainPagePath(reported.substr(folder.size()))) {
            return true;
        }
    }
    return false;
}

bool CTrustedPages::IsServiceCookieUrl(const std::wstring& url) const {
    CUrlParts parts;
    // A host name of letters, digits, '-' and '.', and no '\' or blank anywhere: the stores
    // parse the address again, and must find the same host.
    if (url.find_first_of(L"\\ \t\r\n") != std::wstring::npos || !parts.Parse(url) ||
        (parts.m_strScheme != L"http" && parts.m_strScheme != L"https") || !parts.m_bHasAuthority ||
        parts.m_bHasUserInfo || parts.m_strHost.empty() ||
        parts.m_strHost.find_first_not_of(L"abcdefghijklmnopqrstuvwxyz0123456789-.") !=
            std::wstring::npos) {
        return false;
    }
    const std::wstring& host = parts.m_strHost;
    for (const std::wstring& name : HostNames()) {
        if (host == name) {
            return true;
        }
        // An address has no domain; a name's domain keeps at least two labels.
        const size_t dot = name.find(L'.');
        const bool address = name.find_first_not_of(L"0123456789.") == std::wstring::npos;
        if (address || dot == std::wstring::npos ||
            name.find(L'.', dot + 1) == std::wstring::npos) {
            continue;
        }
        const std::wstring domain = name.substr(dot + 1);
        if (host == domain || IsHostUnderDomain(host, domain)) {
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> CTrustedPages::HostNames() const {
    std::vector<std::wstring> names;
    for (const Host& host : m_hosts) {
        if (std::find(names.begin(), names.end(), host.name) == names.end()) {
            names.push_back(host.name);
        }
    }
    return names;
}

std::vector<std::wstring> CTrustedPages::ScriptOrigins() const {
    std::vector<std::wstring> origins;
    for (const Host& host : m_hosts) {
        for (const wchar_t* scheme : {L"https", L"http"}) {
            if (m_bHttpsOnly && scheme == std::wstring(L"http")) {
                continue;
            }
            int defaultPort = scheme == std::wstring(L"https") ? 443 : 80;
            std::wstring origin = std::wstring(scheme) + L"://" + host.name;
            if (host.port >= 0 && host.port != defaultPort) {
                origin += L":" + std::to_wstring(host.port);
            }
            origins.push_back(origin);
        }
    }
    return origins;
}

}  // namespace platform
