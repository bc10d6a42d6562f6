// The tray menu (menu resource 129): one submenu holding 打开, 选项, 关于 and 退出, in that
// order, without separators.
#pragma once

#include "platform/menu.h"

constexpr UINT IDR_TRAY_MENU = 129;

// The menu's items, as the resource script holds them too.
const MenuTemplate& TrayMenuTemplate();

// The menu bar holding the submenu; free it with DestroyMenu.
HMENU LoadTrayMenu();
