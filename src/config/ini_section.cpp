#include "config/ini_section.h"

#include <cerrno>
#include <climits>
#include <cwchar>

#include "platform/private_profile.h"

namespace {

// The C library's wtoi: a value past the range of int is held at its end.
int WideToInt(const wchar_t* text) {
    errno = 0;
    long value = std::wcstol(text, nullptr, 10);
    if (value > INT_MAX) {
        return INT_MAX;
    }
    if (value < INT_MIN) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

}  // namespace

CIniSection::CIniSection(const std::wstring& strFile, const std::wstring& strSection)
    : m_strFile(strFile), m_strSection(strSection) {}

int CIniSection::ReadInt(const std::wstring& strKey, int nDefault) const {
    wchar_t buffer[50] = {};
    DWORD count = ReadPrivateProfileString(m_strSection.c_str(), strKey.c_str(), L"", buffer, 50,
                                           m_strFile.c_str());
    return count > 0 ? WideToInt(buffer) : nDefault;
}

std::wstring CIniSection::ReadString(const std::wstring& strKey,
                                     const std::wstring& strDefault) const {
    wchar_t buffer[1024] = {};
    DWORD count = ReadPrivateProfileString(m_strSection.c_str(), strKey.c_str(), L"", buffer, 1024,
                                           m_strFile.c_str());
    return count > 0 ? std::wstring(buffer, count) : strDefault;
}

std::wstring IntToText(int nValue) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", nValue);
    return text;
}

BOOL CIniSection::WriteInt(const std::wstring& strKey, int nValue) const {
    return WriteString(strKey, IntToText(nValue).c_str());
}

BOOL CIniSection::WriteString(const std::wstring& strKey, const wchar_t* pszValue) const {
    // Our writer on every platform: the system's own on Windows writes line breaks into the
    // file, drops bytes of other lines that form no character and takes no lock across
    // processes.
    const PROFILE_WRITE write{m_strSection.c_str(), strKey.c_str(), pszValue};
    return WritePrivateProfileBatch(&write, 1, m_strFile.c_str());
}
