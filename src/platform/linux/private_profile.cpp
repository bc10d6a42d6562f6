// The private-profile functions' Windows names, over the client's own reader and writer
// (platform/profile_file.h).
#include "platform/private_profile.h"

#include "platform/profile_file.h"

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD size, LPCWSTR fileName) {
    return ReadPrivateProfileString(section, key, defaultValue, buffer, size, fileName);
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
    PROFILE_WRITE write{section, key, value};
    return platform::detail::WriteProfileKeys(&write, 1, fileName);
}
