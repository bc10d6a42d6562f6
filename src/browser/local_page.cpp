#include "browser/local_page.h"

#include <algorithm>
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

// Some file systems drop trailing dots and spaces from a name, so "...", ".. " and ". ." may
// all be ".."; "." alone stays where it is.
bool IsParentStep(const std::wstring& segment) {
    return segment != L"." && segment.find_first_not_of(L". ") == std::wstring::npos;
}

// The path as written: relative, "res" first, and no step that climbs.
bool IsPlainResPath(const std::wstring& path) {
    if (path.empty() || path.find_first_of(std::wstring(L":\0", 2)) != std::wstring::npos ||
        path[0] == L'/' || path[0] == L'\\') {
        return false;
    }
    bool inRes = false;
    bool named = false;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find_first_of(L"/\\", start), path.size());
        const std::wstring segment = path.substr(start, end - start);
        start = end + 1;
        if (segment.empty() || segment == L".") {
            continue;
        }
        if (IsParentStep(segment)) {
            return false;
        }
        if (!inRes) {
            std::wstring lower = segment;
            for (wchar_t& ch : lower) {
                ch = static_cast<wchar_t>(std::towlower(ch));
            }
            if (lower != L"res") {
                return false;
            }
            inRes = true;
        } else {
            named = true;
        }
    }
    return named;
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
    // Every decoded form is checked too: a reader that decodes once more finds no way out.
    for (int round = 0; round < 4; ++round) {
        if (!IsPlainResPath(form)) {
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
