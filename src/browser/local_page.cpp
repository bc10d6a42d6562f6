#include "browser/local_page.h"

#include <cwctype>

#include "app/helpers.h"
#include "platform/files.h"
#include "platform/url_parts.h"

namespace {

// The comparable form of a local path: native separators, no "." or ".." steps, lower case
// (the pages' own names are compared case-insensitively, as the windows always did).
std::wstring ComparablePath(const std::wstring& path) {
    std::wstring text = WideFromPath(PathFromWide(path).lexically_normal());
    for (wchar_t& ch : text) {
        ch = static_cast<wchar_t>(std::towlower(ch));
    }
    return text;
}

}  // namespace

std::wstring LocalPagePath(const std::wstring& relativePath) {
    return WideFromPath(PathFromWide(GetModuleDirectory(nullptr) + relativePath));
}

bool IsSameLocalPage(const std::wstring& reportedUrl, const std::wstring& pagePath) {
    if (reportedUrl.empty() || pagePath.empty()) {
        return false;
    }
    std::wstring reportedPath = reportedUrl;
    platform::CUrlParts url;
    if (url.Parse(reportedUrl) && url.m_strScheme == L"file") {
        if (!url.FilePath(&reportedPath)) {
            return false;
        }
    } else if (!PathFromWide(reportedUrl).is_absolute()) {
        return false;
    }
    return ComparablePath(reportedPath) == ComparablePath(pagePath);
}
