#include "windows/service_page.h"

#include <string>

#include "browser/service_start_page.h"
#include "platform/text_encoding.h"
#include "platform/url_parts.h"

bool IsServiceStartPage(const std::wstring& url) {
    platform::CUrlParts parts;
    platform::CUrlParts start;
    if (!parts.Parse(url) || parts.m_bHasUserInfo || !start.Parse(GetServiceStartUrl())) {
        return false;
    }
    // A query or fragment is "something after /m" too.
    if (url.find_first_of(L"?#") != std::wstring::npos) {
        return false;
    }
    // The address the client itself goes to, so an https-only deployment is recognised too.
    return parts.m_strScheme == start.m_strScheme && parts.m_strHost == start.m_strHost &&
           parts.EffectivePort() == start.EffectivePort() &&
           EqualsIgnoringCase(parts.m_strPath, start.m_strPath);
}
