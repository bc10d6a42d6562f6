// The kernel's release as the platform version.
#include "platform/system_info.h"

#include <sys/utsname.h>

#include <cstdio>

const wchar_t* GetPlatformName() {
    return L"Linux";
}

bool GetPlatformVersion(DWORD& major, DWORD& minor, DWORD& build) {
    major = minor = build = 0;
    utsname name;
    if (::uname(&name) != 0) {
        return false;
    }
    // "6.1.0-18-amd64": the parts that are there count, the rest stay 0.
    unsigned a = 0, b = 0, c = 0;
    if (std::sscanf(name.release, "%u.%u.%u", &a, &b, &c) < 1) {
        return false;
    }
    major = a;
    minor = b;
    build = c;
    return true;
}
