// The module whose resources (icons, menus, dialogs, version) the client loads: the executable.
#include <windows.h>

#include "platform/icons.h"

HINSTANCE AfxGetResourceHandle() {
    return GetModuleHandleW(nullptr);
}
