// The notification area on Windows: Shell_NotifyIconW is the system's; the tray exists where
// the shell's taskbar runs.
#include <windows.h>

#include "platform/tray.h"

namespace platform {

bool IsTrayAvailable() {
    // A shell without the taskbar (a kiosk shell) shows no icons: hiding there would lose the
    // window.
    return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr;
}

UINT TrayCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

}  // namespace platform
