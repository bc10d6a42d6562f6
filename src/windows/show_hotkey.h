// The show hotkey as the options keep it (the hotkey control's modifier bits) and the hint
// that tells the user how the hidden window comes back.
#pragma once

#include <string>

#include "config/client_options.h"
#include "platform/types.h"

// 4 (Alt) gives MOD_ALT, 2 (Ctrl) MOD_CONTROL, 1 (Shift) MOD_SHIFT; 8 (extended key) and
// higher bits are dropped.
UINT HotkeyModifiersToRegister(uint16_t controlModifiers);

// Whether the combination may be taken from the whole desktop: with Ctrl or Alt, or a function
// key F1 to F24 (as the option page allows). A plain key, or Shift with it, is typing.
bool IsShowHotkeyAllowed(uint16_t vk, uint16_t controlModifiers);

// The first-close hint. With a tray it is the balloon's text; without one the window was
// minimized instead, and the hint says how to bring it back without a tray icon. Where the
// hotkey needs the focus (platform::HotkeyNeedsFocus), a hint that names it says so.
std::wstring BuildCloseHint(const CClientOptions& options, bool trayAvailable,
                            bool hotkeyNeedsFocus = false);
