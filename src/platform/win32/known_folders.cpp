// Special folders from the shell, each redirectable by the environment for the tests.
#include "platform/known_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <string>

namespace {

std::wstring FromEnvironment(const wchar_t* name) {
    wchar_t value[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH * 2);
    return (length > 0 && length < MAX_PATH * 2) ? std::wstring(value, length) : std::wstring();
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/')) {
        path.pop_back();
    }
    return path;
}

}  // namespace

std::wstring GetKnownFolderPath(int csidl) {
    const wchar_t* override = nullptr;
    switch (csidl) {
        case CSIDL_LOCAL_APPDATA:
            override = L"SONGDECK_LOCAL_APPDATA";
            break;
        case CSIDL_COMMON_APPDATA:
            override = L"SONGDECK_COMMON_APPDATA";
            break;
        default:
            return {};
    }
    std::wstring path = FromEnvironment(override);
    if (path.empty()) {
        wchar_t folder[MAX_PATH];
        if (!SHGetSpecialFolderPathW(nullptr, folder, csidl, TRUE)) {
            return {};
        }
        path = folder;
    }
    return WithoutTrailingSeparators(path);
}

int GetUpdateStageFolder() {
    return CSIDL_LOCAL_APPDATA;
}
