#include "browser/local_page.h"

#include <algorithm>
#include <cwctype>

#include "app/helpers.h"
#include "platform/files.h"
#include "platform/trusted_pages.h"
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

// "res" is the first step, and a name follows it.
bool NamesPageInRes(const std::wstring& path) {
    bool inRes = false;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find_first_of(L"/\\", start), path.size());
        std::wstring step = path.substr(start, end - start);
        start = end + 1;
        if (step.empty() || step == L".") {
            continue;
        }
        if (inRes) {
            return true;
        }
        for (wchar_t& ch : step) {
            ch = static_cast<wchar_t>(std::towlower(ch));
        }
        if (step != L"res") {
            return false;
        }
        inRes = true;
    }
    return false;
}

}  // namespace

bool IsResPagePath(const std::wstring& relativePath) {
    // ':' marks a drive, a scheme or a stream, which only the path can name: a query or fragment
    // may hold one ("res/p.html?t=12:30"). Their steps are still checked, as an engine that is
    // given a local path may read it whole, '?' and all.
    std::wstring form = relativePath;
    if (const size_t query = form.find_first_of(L"?#"); query != std::wstring::npos) {
        std::replace(form.begin() + static_cast<std::ptrdiff_t>(query), form.end(), L':', L'_');
    }
    return platform::IsPlainPagePath(form) && NamesPageInRes(form);
}

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
