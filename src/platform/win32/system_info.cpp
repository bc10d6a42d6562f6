// The Windows version as the system reports it (RtlGetVersion: GetVersionEx answers what the
// manifest claims, not what runs).
#include "platform/system_info.h"

#include <windows.h>

const wchar_t* GetPlatformName() {
    return L"Windows";
}

bool GetPlatformVersion(DWORD& major, DWORD& minor, DWORD& build) {
    major = minor = build = 0;
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto getVersion = ntdll ? reinterpret_cast<RtlGetVersionFn>(
                                  reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                            : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (getVersion == nullptr || getVersion(&info) != 0) {
        return false;
    }
    major = info.dwMajorVersion;
    minor = info.dwMinorVersion;
    build = info.dwBuildNumber;
    return true;
}
