// One section of one INI file; every operation goes to the private-profile functions.
#pragma once

#include <string>

#include "platform/types.h"

// An integer as the INI stores it ("%d").
std::wstring IntToText(int nValue);

class CIniSection {
public:
    CIniSection(const std::wstring& strFile, const std::wstring& strSection);

    // The key's leading integer (wtoi: blanks, sign, digits); default when the key is missing
    // or empty. At most 49 characters are read.
    int ReadInt(const std::wstring& strKey, int nDefault) const;
    // At most 1023 characters are read; default when the key is missing or empty.
    std::wstring ReadString(const std::wstring& strKey, const std::wstring& strDefault) const;
    BOOL WriteInt(const std::wstring& strKey, int nValue) const;
    // A null value deletes the key.
    BOOL WriteString(const std::wstring& strKey, const wchar_t* pszValue) const;

private:
    std::wstring m_strFile;
    std::wstring m_strSection;
};
