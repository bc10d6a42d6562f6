// Menu resources on Linux: built from the program's description of them.
#include "platform/menu.h"

namespace platform {

HMENU LoadMenuResource(const MenuTemplate& menu) {
    HMENU bar = CreateMenu();
    HMENU items = CreatePopupMenu();
    if (bar == nullptr || items == nullptr) {
        if (bar != nullptr) {
            DestroyMenu(bar);
        }
        if (items != nullptr) {
            DestroyMenu(items);
        }
        return nullptr;
    }
    for (const auto& [id, text] : menu.items) {
        AppendMenuW(items, MF_STRING, id, text.c_str());
    }
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(items), L"");
    return bar;
}

}  // namespace platform
