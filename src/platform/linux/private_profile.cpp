// Private-profile functions over CIniDocument (platform/profile_file.h): reads need no lock of
// other processes, since the file is only ever replaced whole.
#include "platform/private_profile.h"

#include <algorithm>
#include <cwchar>
#include <mutex>
#include <string>

#include "platform/files.h"
#include "platform/ini_document.h"
#include "platform/profile_file.h"

using platform::detail::ProfileMutex;
using platform::detail::ReadProfileBytes;

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD size, LPCWSTR fileName) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    buffer[0] = L'\0';
    if (section == nullptr || key == nullptr || fileName == nullptr) {
        return 0;
    }
    std::wstring result = defaultValue != nullptr ? std::wstring(defaultValue) : std::wstring();
    {
        // The file is only ever replaced whole, so a read needs no lock of other processes.
        std::lock_guard<std::mutex> lock(ProfileMutex());
        std::string bytes;
        if (ReadProfileBytes(PathFromWide(fileName), bytes)) {
            if (auto value = CIniDocument(bytes).Find(section, key)) {
                result = *value;
            }
        }
    }
    DWORD count = static_cast<DWORD>(std::min<size_t>(result.size(), size - 1));
    std::wmemcpy(buffer, result.data(), count);
    buffer[count] = L'\0';
    return count;
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
    PROFILE_WRITE write{section, key, value};
    return platform::detail::WriteProfileKeys(&write, 1, fileName);
}
