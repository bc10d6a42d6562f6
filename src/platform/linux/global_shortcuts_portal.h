// Global hotkeys in a Wayland session, where an X11 grab sees keys only while one of our
// windows has the focus: the desktop's GlobalShortcuts portal binds them for us, and its
// Activated signal arrives as WM_HOTKEY.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform::portal {

enum class BindResult {
    Bound,
    Refused,   // the portal answered, but the shortcut is not bound (refused, cancelled, failed)
    NoPortal,  // no session bus, no portal, or one older than version 1
};

// UI thread only. Creates a portal session and binds the show-main-window shortcut with the
// combination as its preferred trigger; each answer of the portal is awaited at most 30 s.
BindResult Bind(HWND hWnd, int id, UINT fsModifiers, UINT vk);
// Closes the session of hWnd's id; false when the portal does not hold it.
bool Unbind(HWND hWnd, int id);

// The portal's form of a combination ("CTRL+D", "ALT+SHIFT+F9"); empty when the key has no
// name.
std::string TriggerOf(UINT fsModifiers, UINT vk);

}  // namespace platform::portal
