#include "windows/tray_menu.h"

#include "app/app_messages.h"

const MenuTemplate& TrayMenuTemplate() {
    static const MenuTemplate menu = {
        IDR_TRAY_MENU,
        {
            {ID_TRAY_OPEN, L"打开"},
            {ID_TRAY_OPTIONS, L"选项"},
            {ID_TRAY_ABOUT, L"关于"},
            {ID_TRAY_EXIT, L"退出"},
        },
    };
    return menu;
}

HMENU LoadTrayMenu() {
    return platform::LoadMenuResource(TrayMenuTemplate());
}
