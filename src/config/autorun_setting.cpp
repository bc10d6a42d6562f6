// Start at login: on exactly when the entry holds the autorun command, whatever the case.
#include <cwctype>

#include "app/environment.h"
#include "config/client_options.h"
#include "platform/autostart.h"

namespace {

bool EqualsIgnoringCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

BOOL IsAutoRunEnabled() {
    wchar_t command[260] = {};
    if (!ReadAutoStartEntry(GetAutoRunValueName().c_str(), command, 260)) {
        return FALSE;
    }
    return EqualsIgnoringCase(command, GetAutoRunCommand()) ? TRUE : FALSE;
}

BOOL SetAutoRun(BOOL bEnable) {
    std::wstring name = GetAutoRunValueName();
    if (!bEnable) {
        return DeleteAutoStartEntry(name.c_str());
    }
    return WriteAutoStartEntry(name.c_str(), GetAutoRunCommand().c_str());
}
