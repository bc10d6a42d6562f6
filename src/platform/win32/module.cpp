// Module paths from the loader, and the version from a file's version resource.
#include "platform/module.h"

#include <windows.h>

#include <vector>

std::wstring GetModulePath(const void* address) {
    HMODULE module = nullptr;
    if (address != nullptr && !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                  static_cast<LPCWSTR>(address), &module)) {
        return {};
    }
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return std::wstring(buffer.data(), length);
        }
        buffer.resize(buffer.size() * 2);
    }
}

bool ReadModuleVersionStamp(const std::wstring& modulePath, std::wstring& version) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(modulePath.c_str(), &ignored);
    if (size == 0) {
        return false;
    }
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!GetFileVersionInfoW(modulePath.c_str(), 0, size, block.data()) ||
        !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof(VS_FIXEDFILEINFO)) {
        return false;
    }
    version = std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
              std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
              std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." +
              std::to_wstring(LOWORD(info->dwFileVersionLS));
    return true;
}
