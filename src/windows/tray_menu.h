// The tray menu (menu resource 129 of the original): one submenu holding 打开, 选项, 关于 and
// 退出, in that order, without separators.
#pragma once

#include "platform/menu.h"

// The menu bar holding the submenu; free it with DestroyMenu.
HMENU LoadTrayMenu();
