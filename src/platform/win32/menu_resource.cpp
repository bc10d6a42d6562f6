// Menu resources on Windows: the module's own, compiled from its resource script.
#include <windows.h>

#include "platform/icons.h"
#include "platform/menu.h"

namespace platform {

HMENU LoadMenuResource(const MenuTemplate& menu) {
    return LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(menu.id));
}

}  // namespace platform
