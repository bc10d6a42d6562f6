#include "windows/service_page.h"

#include <string>

#include "browser/page_trust.h"
#include "platform/text_encoding.h"
#include "platform/url_parts.h"

namespace {

// "host" for the scheme's own port, else "host:port", as the web host setting is written.
std::wstring Authority(const platform::CUrlParts& parts) {
    const int port = parts.EffectivePort();
    return port == 80 ? parts.m_strHost : parts.m_strHost + L":" + std::to_wstring(port);
}

}  // namespace

bool IsServiceStartPage(const std::wstring& url) {
    platform::CUrlParts parts;
    if (!parts.Parse(url) || parts.m_strScheme != L"http" || parts.m_bHasUserInfo) {
        return false;
    }
    // A query or fragment is "something after /m" too.
    if (url.find_first_of(L"?#") != std::wstring::npos) {
        return false;
    }
    std::wstring host = GetServiceWebHost();
    if (host.size() > 3 && host.compare(host.size() - 3, 3, L":80") == 0) {
        host.resize(host.size() - 3);
    }
    return EqualsIgnoringCase(Authority(parts), host) && EqualsIgnoringCase(parts.m_strPath, L"/m");
}
