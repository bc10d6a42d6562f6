// The parts of an absolute URL that decide where a page comes from: scheme, host, port and path.
// Meant for URLs as the browser reports them (already in their canonical form); anything that
// does not look like an absolute URL fails to parse, and callers treat it as foreign.
#pragma once

#include <string>

namespace platform {

class CUrlParts {
public:
    // False for text without a scheme ("name:") or with a malformed authority.
    bool Parse(const std::wstring& url);

    // The port given, else the scheme's default (80 http, 443 https), else -1.
    int EffectivePort() const;
    // The decoded local path of a file: URL (host empty or "localhost"). False for other URLs
    // and for paths that decode to a NUL, an encoded separator or invalid UTF-8.
    bool FilePath(std::wstring* path) const;

    std::wstring m_strScheme;  // lower case, without ':'
    bool m_bHasAuthority = false;
    bool m_bHasUserInfo = false;
    std::wstring m_strHost;  // lower case; IPv6 addresses keep their brackets
    int m_nPort = -1;        // -1 when the URL names none
    std::wstring m_strPath;  // as written (percent-encoded), without query or fragment
};

// What a view may be told to show: a full local path, or a file:, http: or https: address.
// Script (javascript:), data: and every other scheme are not pages of the client.
bool IsPageLocation(const std::wstring& location);

// Whether host lies below domain: ends in "." + domain ("a.example.com" under "example.com",
// never "badexample.com" nor the domain itself).
bool IsHostUnderDomain(const std::wstring& host, const std::wstring& domain);

}  // namespace platform
