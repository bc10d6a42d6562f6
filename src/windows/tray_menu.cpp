#include "windows/tray_menu.h"

#include "app/app_messages.h"

HMENU LoadTrayMenu() {
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
    AppendMenuW(items, MF_STRING, ID_TRAY_OPEN, L"打开");
    AppendMenuW(items, MF_STRING, ID_TRAY_OPTIONS, L"选项");
    AppendMenuW(items, MF_STRING, ID_TRAY_ABOUT, L"关于");
    AppendMenuW(items, MF_STRING, ID_TRAY_EXIT, L"退出");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(items), L"");
    return bar;
}
