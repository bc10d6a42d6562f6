// The executable's file, folder and stamped version.
#include <algorithm>

#include "app/helpers.h"
#include "platform/files.h"
#include "platform/module.h"

std::wstring GetModuleFileName(HMODULE module) {
    return GetModulePath(module);
}

std::wstring GetModuleDirectory(HMODULE module) {
    std::wstring path = GetModuleFileName(module);
    size_t separator = path.rfind(kPathSeparator);
    if (separator == std::wstring::npos || separator < 1) {
        return {};
    }
    return path.substr(0, separator + 1);
}

BOOL GetModuleFileVersion(HMODULE module, wchar_t* buffer, DWORD* length) {
    if (buffer == nullptr || length == nullptr) {
        return FALSE;
    }
    std::fill(buffer, buffer + *length, L'\0');
    std::wstring path = GetModuleFileName(module);
    if (path.empty()) {
        return FALSE;
    }
    std::wstring version;
    if (!ReadModuleVersionStamp(path, version) || version.empty()) {
        return FALSE;
    }
    DWORD needed = static_cast<DWORD>(version.size() + 1);
    if (needed > *length) {
        *length = needed;
        return FALSE;
    }
    std::copy(version.c_str(), version.c_str() + needed, buffer);
    return TRUE;
}
