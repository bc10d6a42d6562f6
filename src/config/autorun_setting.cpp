// Start at login: on exactly when the entry holds the autorun command, whatever the case.
#include "app/environment.h"
#include "config/client_options.h"
#include "platform/autostart.h"
#include "platform/text_encoding.h"

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
