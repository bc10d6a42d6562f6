// Start at login: a value under HKCU's Run key holding the command line.
#include "platform/autostart.h"

#include <windows.h>

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

BOOL ReadAutoStartEntry(LPCWSTR valueName, LPWSTR buffer, DWORD chars) {
    if (valueName == nullptr || buffer == nullptr || chars == 0) {
        return FALSE;
    }
    DWORD type = 0;
    DWORD bytes = chars * sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, kRunKey, valueName,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, buffer,
                     &bytes) != ERROR_SUCCESS) {
        buffer[0] = L'\0';
        return FALSE;
    }
    return TRUE;
}

BOOL WriteAutoStartEntry(LPCWSTR valueName, LPCWSTR command) {
    if (valueName == nullptr || command == nullptr) {
        return FALSE;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return FALSE;
    }
    const DWORD bytes = static_cast<DWORD>((wcslen(command) + 1) * sizeof(wchar_t));
    const LONG result =
        RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(command), bytes);
    RegCloseKey(key);
    return result == ERROR_SUCCESS ? TRUE : FALSE;
}

BOOL DeleteAutoStartEntry(LPCWSTR valueName) {
    if (valueName == nullptr) {
        return FALSE;
    }
    return RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, valueName) == ERROR_SUCCESS ? TRUE
                                                                                      : FALSE;
}
