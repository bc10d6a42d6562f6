#include "platform/url_parts.h"

#include <cwctype>

#include "platform/files.h"
#include "platform/text_encoding.h"

namespace platform {
namespace {

bool IsSchemeChar(wchar_t ch, bool first) {
    bool letter = (ch >= L'a' && ch <= L'z') || (ch >= L'A' && ch <= L'Z');
    if (first) {
        return letter;
    }
    return letter || (ch >= L'0' && ch <= L'9') || ch == L'+' || ch == L'-' || ch == L'.';
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& ch : text) {
        ch = static_cast<wchar_t>(std::towlower(ch));
    }
    return text;
}

int HexValue(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9') {
        return ch - L'0';
    }
    if (ch >= L'a' && ch <= L'f') {
        return ch - L'a' + 10;
    }
    if (ch >= L'A' && ch <= L'F') {
        return ch - L'A' + 10;
    }
    return -1;
}

}  // namespace

bool CUrlParts::Parse(const std::wstring& url) {
    *this = CUrlParts();
    size_t colon = url.find(L':');
    if (colon == std::wstring::npos || colon == 0) {
        return false;
    }
    for (size_t i = 0; i < colon; ++i) {
        if (!IsSchemeChar(url[i], i == 0)) {
            return false;
        }
    }
    m_strScheme = Lower(url.substr(0, colon));
    size_t pos = colon + 1;
    if (url.compare(pos, 2, L"//") == 0) {
        m_bHasAuthority = true;
        pos += 2;
        size_t end = url.find_first_of(L"/?#\\", pos);
        if (end == std::wstring::npos) {
            end = url.size();
        }
        std::wstring authority = url.substr(pos, end - pos);
        pos = end;
        size_t at = authority.rfind(L'@');
        if (at != std::wstring::npos) {
            m_bHasUserInfo = true;
            authority.erase(0, at + 1);
        }
        size_t portStart = std::wstring::npos;
        if (!authority.empty() && authority[0] == L'[') {
            size_t close = authority.find(L']');
            if (close == std::wstring::npos) {
                return false;
            }
            m_strHost = authority.substr(0, close + 1);
            if (close + 1 < authority.size()) {
                if (authority[close + 1] != L':') {
                    return false;
                }
                portStart = close + 2;
            }
        } else {
            size_t portColon = authority.find(L':');
            m_strHost = authority.substr(0, portColon);
            if (portColon != std::wstring::npos) {
                portStart = portColon + 1;
            }
        }
        m_strHost = Lower(m_strHost);
        if (portStart != std::wstring::npos && portStart < authority.size()) {
            long port = 0;
            for (size_t i = portStart; i < authority.size(); ++i) {
                if (authority[i] < L'0' || authority[i] > L'9' || port > 65535) {
                    return false;
                }
                port = port * 10 + (authority[i] - L'0');
            }
            if (port > 65535) {
                return false;
            }
            m_nPort = static_cast<int>(port);
        }
    }
    size_t pathEnd = url.find_first_of(L"?#", pos);
    m_strPath = url.substr(pos, pathEnd == std::wstring::npos ? std::wstring::npos : pathEnd - pos);
    return true;
}

int CUrlParts::EffectivePort() const {
    if (m_nPort >= 0) {
        return m_nPort;
    }
    if (m_strScheme == L"http") {
        return 80;
    }
    if (m_strScheme == L"https") {
        return 443;
    }
    return -1;
}

bool CUrlParts::FilePath(std::wstring* path) const {
    if (m_strScheme != L"file" || (m_strHost != L"" && m_strHost != L"localhost") || m_nPort >= 0 ||
        m_bHasUserInfo || m_strPath.empty() || m_strPath[0] != L'/') {
        return false;
    }
    // Literal runs are converted whole, so a character written as a UTF-16 pair stays one.
    std::string bytes;
    std::wstring literal;
    for (size_t i = 0; i < m_strPath.size(); ++i) {
        wchar_t ch = m_strPath[i];
        if (ch == L'%') {
            int high = i + 2 < m_strPath.size() ? HexValue(m_strPath[i + 1]) : -1;
            int low = high >= 0 ? HexValue(m_strPath[i + 2]) : -1;
            if (low < 0) {
                return false;
            }
            char byte = static_cast<char>(high * 16 + low);
            // An encoded separator or NUL would make a different path than the URL shows.
            if (byte == '\0' || byte == '/' || byte == '\\') {
                return false;
            }
            bytes += WideToUtf8(literal);
            literal.clear();
            bytes.push_back(byte);
            i += 2;
        } else if (ch == L'\\' || ch == L'\0') {
            return false;
        } else {
            literal.push_back(ch);
        }
    }
    bytes += WideToUtf8(literal);
    std::wstring decoded = Utf8ToWide(bytes);
    if (decoded.find(L'\xFFFD') != std::wstring::npos &&
        bytes.find("\xEF\xBF\xBD") == std::string::npos) {
        return false;
    }
#ifdef _WIN32
    // file:///C:/folder/page.html names C:/folder/page.html.
    if (decoded.size() >= 3 && decoded[0] == L'/' && decoded[2] == L':') {
        decoded.erase(0, 1);
    }
#endif
    *path = decoded;
    return true;
}

bool IsPageLocation(const std::wstring& location) {
    CUrlParts parts;
    if (!parts.Parse(location)) {
        return !location.empty() && PathFromWide(location).is_absolute();
    }
#ifdef _WIN32
    // A drive letter is not a scheme.
    if (parts.m_strScheme.size() == 1 && PathFromWide(location).is_absolute()) {
        return true;
    }
#endif
    return parts.m_strScheme == L"file" || parts.m_strScheme == L"http" ||
           parts.m_strScheme == L"https";
}

bool IsHostUnderDomain(const std::wstring& host, const std::wstring& domain) {
    return host.size() > domain.size() + 1 &&
           host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
           host[host.size() - domain.size() - 1] == L'.';
}

}  // namespace platform
