#include "windows/service_page.h"

#include "build_config.h"
#include "platform/text_encoding.h"
#include "platform/url_parts.h"

bool IsServiceStartPage(const std::wstring& url) {
    platform::CUrlParts parts;
    if (!parts.Parse(url) || parts.m_strScheme != L"http" || parts.m_bHasUserInfo ||
        parts.EffectivePort() != 80) {
        return false;
    }
    // A query or fragment is "something after /m" too.
    if (url.find_first_of(L"?#") != std::wstring::npos) {
        return false;
    }
    return EqualsIgnoringCase(parts.m_strHost, Utf8ToWide(SONGDECK_WEB_HOST)) &&
           EqualsIgnoringCase(parts.m_strPath, L"/m");
}
