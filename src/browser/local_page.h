// The local pages beside the executable: how a window names one, and how it recognises one in
// the URL the browser control reports (file pages are reported as full paths).
#pragma once

#include <string>

// The full path of a local page, written as the system writes it: LocalPagePath(L"res\\main.html")
// is the executable's folder followed by res and main.html, with the platform's separators.
std::wstring LocalPagePath(const std::wstring& relativePath);

// Whether a path that a page names is a page inside the res folder beside the executable: "res"
// first, then a name, and plain as platform::IsPlainPagePath decides for every local page.
bool IsResPagePath(const std::wstring& relativePath);

// Whether a URL reported by the browser control names the local page at pagePath. Separators
// ('\' or '/'), "." and ".." steps and letter case do not matter; file: URLs are understood too.
bool IsSameLocalPage(const std::wstring& reportedUrl, const std::wstring& pagePath);
