#include "platform/trusted_pages.h"

#include "platform/files.h"
#include "platform/url_parts.h"

namespace platform {
namespace {

// A local path without "." or ".." steps, with '/' between folders.
std::wstring NormalPath(const std::wstring& path) {
    std::wstring text = WideFromPath(PathFromWide(path).lexically_normal());
    for (wchar_t& ch : text) {
        if (ch == L'\\') {
            ch = L'/';
        }
    }
    return text;
}

bool IsInsideFolder(const std::wstring& path, const std::wstring& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

}  // namespace

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
    std::wstring normal = NormalPath(path);
    for (const std::wstring& folder : m_folders) {
        if (IsInsideFolder(normal, folder)) {
            return true;
        }
    }
    return false;
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
