// Global hotkeys in a Wayland session, where an X11 grab sees keys only while one of our
// windows has the focus: the desktop's GlobalShortcuts portal binds them for us, and its
// Activated signal arrives as WM_HOTKEY.
//
// The portal answers when it likes (the desktop may ask the user first), so a binding is
// accepted at once and settled later, on the UI thread's loop, which never waits for it: a
// refusal posts WM_HOTKEY_DECLINED to the window; a portal that cannot bind (no backend, an
// error, no answer in time) hands the hotkey to the fallback, and to it alone from then on.
#pragma once

#include <string>

#include "platform/types.h"

namespace platform::portal {

enum class BindResult {
    Accepted,  // the portal will settle it
    Refused,   // not asked: the key has no name, or the portal holds a hotkey already
    NoPortal,  // no session bus, or the portal failed before: use the fallback now
};

// Another way to take the key (the focus-only X11 grab).
using Fallback = void (*)(HWND hWnd, int id, UINT fsModifiers, UINT vk);

// UI thread only. Opens the client's one portal session (its token is the same for every
// session, so the desktop keeps one set of keys for us) and binds the show-main-window
// shortcut with the combination as its preferred trigger.
BindResult Bind(HWND hWnd, int id, UINT fsModifiers, UINT vk, Fallback fallback);
// Releases hWnd's id and closes its session; false when the portal does not hold it.
bool Unbind(HWND hWnd, int id);

// The portal's form of a combination ("CTRL+D", "ALT+SHIFT+F9"); empty when the key has no
// name.
std::string TriggerOf(UINT fsModifiers, UINT vk);

}  // namespace platform::portal
