// Global hotkeys: a key combination that reaches a window as WM_HOTKEY (wParam the id,
// lParam MAKELPARAM(modifiers, vk)) whichever window has the focus.
//
// On Linux the combination is grabbed on the X root window (also with NumLock and CapsLock
// on, so they do not hide it); a combination another client holds fails the registration.
// In a Wayland session the desktop's GlobalShortcuts portal binds it where one runs.
#pragma once

#include "platform/types.h"

// Posted to the window (wParam the id) when the desktop declines a hotkey that RegisterHotKey
// accepted: a desktop that asks the user answers later. Never on Windows, which answers at once.
constexpr UINT WM_HOTKEY_DECLINED = 0x8000 + 0x0312;

#ifndef _WIN32

constexpr UINT MOD_ALT = 0x0001;
constexpr UINT MOD_CONTROL = 0x0002;
constexpr UINT MOD_SHIFT = 0x0004;
constexpr UINT MOD_WIN = 0x0008;
constexpr UINT MOD_NOREPEAT = 0x4000;

// Registers the hotkey id for hWnd: fsModifiers MOD_* and vk a virtual-key code. FALSE when
// the key has no counterpart on this keyboard, the id is already registered for the window,
// the combination is registered already (by this process or any other), or there is no
// display. Any thread may call it; WM_HOTKEY is posted to hWnd. Where the desktop's portal
// binds it, a refusal comes later as WM_HOTKEY_DECLINED.
BOOL RegisterHotKey(HWND hWnd, int id, UINT fsModifiers, UINT vk);
// Releases the hotkey id of hWnd; FALSE when it was not registered. Destroying the window
// does not release it (as on the original platform), so owners unregister on WM_DESTROY.
BOOL UnregisterHotKey(HWND hWnd, int id);

#endif

namespace platform {
// True once a hotkey was grabbed where the desktop lets it through only while one of our
// windows has the focus (a Wayland session without a shortcuts portal).
bool HotkeyNeedsFocus();
}  // namespace platform
