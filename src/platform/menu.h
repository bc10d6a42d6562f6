// Pop-up menus. A menu is built with CreatePopupMenu and AppendMenuW, shown with
// TrackPopupMenu, and freed with DestroyMenu (which frees its submenus too).
//
// On Linux a menu is a GtkMenu on the UI thread: call these functions there.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

#ifndef _WIN32

struct HMENU__;
using HMENU = HMENU__*;

constexpr UINT MF_STRING = 0x00000000;
constexpr UINT MF_GRAYED = 0x00000001;
constexpr UINT MF_DISABLED = 0x00000002;
constexpr UINT MF_POPUP = 0x00000010;
constexpr UINT MF_SEPARATOR = 0x00000800;
constexpr UINT MF_BYCOMMAND = 0x00000000;
constexpr UINT MF_BYPOSITION = 0x00000400;

constexpr UINT TPM_LEFTBUTTON = 0x0000;
constexpr UINT TPM_RIGHTBUTTON = 0x0002;
constexpr UINT TPM_LEFTALIGN = 0x0000;
constexpr UINT TPM_TOPALIGN = 0x0000;
constexpr UINT TPM_NONOTIFY = 0x0080;
constexpr UINT TPM_RETURNCMD = 0x0100;

// A menu bar (a holder of submenus, as a menu resource is) and a pop-up menu.
HMENU CreateMenu();
HMENU CreatePopupMenu();
// Appends an item: MF_STRING with uIDNewItem the command id and lpNewItem its text,
// MF_POPUP with uIDNewItem the HMENU of a submenu (which the menu then owns),
// MF_SEPARATOR. MF_GRAYED/MF_DISABLED items cannot be chosen.
BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem);
// The submenu at position nPos; null when that item has none.
HMENU GetSubMenu(HMENU hMenu, int nPos);
int GetMenuItemCount(HMENU hMenu);
// Makes an item the default (drawn bold) by command id (fByPos FALSE) or position; uItem
// (UINT)-1 clears the default. FALSE when there is no such item.
BOOL SetMenuDefaultItem(HMENU hMenu, UINT uItem, UINT fByPos);
// Shows the menu at (x, y) in screen coordinates and waits (handling messages) until it
// closes. With TPM_RETURNCMD returns the chosen command id (0 when none was chosen) and
// sends nothing; without it returns TRUE when an item was chosen and posts WM_COMMAND
// (wParam the id, lParam 0) to hWnd. Items are chosen with either mouse button. A click
// outside the menu, Escape, or the owner losing the focus closes it without a choice.
BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int nReserved, HWND hWnd,
                    const RECT* prcRect);
// TrackPopupMenu with the original's extended form; the excluded rectangle is not used.
struct TPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
};
BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hwnd, TPMPARAMS* lptpm);
// Frees the menu and its submenus; a menu that is shown is closed first.
BOOL DestroyMenu(HMENU hMenu);

#endif

// A menu resource as the program describes it: a menu bar holding one submenu of command
// items (id and text), in order.
struct MenuTemplate {
    UINT id;
    std::vector<std::pair<UINT, std::wstring>> items;
};

namespace platform {
// The menu bar of the menu resource: on Windows the module's own resource of that id (its
// resource script holds the same items), elsewhere built from the description. Null when it
// cannot be had; free it with DestroyMenu.
HMENU LoadMenuResource(const MenuTemplate& menu);
}  // namespace platform

namespace platform::testing {
// The open menu's item texts, in order; empty when no menu is shown. The default item's
// text comes back in <b></b>.
std::vector<std::wstring> OpenMenuItems();
// Where the open menu's item at position nPos is on the screen; false without one.
bool OpenMenuItemRect(int nPos, RECT* rect);
// Closes the open menu without a choice, as Escape does.
void CloseOpenMenu();
}  // namespace platform::testing
