// Messages and command ids that the main window, the tray and the script commands share.
#pragma once

#include "platform/messages.h"

// The tray icon's callback: wParam the icon id, lParam the mouse message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 1;
// Posted to the main window to restart the client through the launcher.
constexpr UINT WM_RESTART_CLIENT = WM_USER + 2;

// The tray menu's items, also sent as WM_COMMAND by the modes and the commands.
constexpr UINT ID_TRAY_OPEN = 32773;
constexpr UINT ID_TRAY_EXIT = 32774;
constexpr UINT ID_TRAY_OPTIONS = 32776;
constexpr UINT ID_TRAY_ABOUT = 32778;

// The global hotkey's id on the main window.
constexpr int HOTKEY_ID_SHOW_MAIN = 293;
