// Global hotkeys: passive key grabs on the X root window through GDK's own connection, so
// the key presses arrive in GTK's loop on the UI thread, where a filter turns them into
// WM_HOTKEY for the registered window.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/hotkey.h"
#include "platform/linux/display_session.h"
#include "platform/linux/global_shortcuts_portal.h"
#include "platform/linux/virtual_key_table.h"
#include "platform/messages.h"

namespace {

struct Hotkey {
    HWND hwnd;
    int id;
    UINT fsModifiers;
    UINT vk;
    KeyCode keycode;
    unsigned int xModifiers;
    bool down = false;
};

// UI thread only.
std::vector<Hotkey> g_hotkeys;
bool g_filterInstalled = false;
// A grab in a Wayland session sees keys only while one of our windows has the focus.
std::atomic<bool> g_grabNeedsFocus{false};

constexpr unsigned int kHotkeyModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

Display* XDisplayOrNull() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        return nullptr;
    }
    return GDK_DISPLAY_XDISPLAY(display);
}

// The modifier bit NumLock sets on this keyboard (usually Mod2); 0 when it has none.
unsigned int NumLockMask(Display* display) {
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    unsigned int mask = 0;
    XModifierKeymap* map = XGetModifierMapping(display);
    for (int modifier = 0; numLock != 0 && map != nullptr && modifier < 8; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[modifier * map->max_keypermod + k] == numLock) {
                mask = 1u << modifier;
            }
        }
    }
    if (map != nullptr) {
        XFreeModifiermap(map);
    }
    return mask;
}

// A grab matches the modifier state exactly, so each lock state needs a grab of its own.
std::vector<unsigned int> LockVariants(Display* display) {
    const unsigned int numLock = NumLockMask(display);
    std::vector<unsigned int> variants{0, LockMask};
    if (numLock != 0 && numLock != LockMask) {
        variants.push_back(numLock);
        variants.push_back(numLock | LockMask);
    }
    return variants;
}

unsigned int XModifiersOf(UINT fsModifiers) {
    unsigned int mods = 0;
    mods |= (fsModifiers & MOD_ALT) != 0 ? Mod1Mask : 0;
    mods |= (fsModifiers & MOD_CONTROL) != 0 ? ControlMask : 0;
    mods |= (fsModifiers & MOD_SHIFT) != 0 ? ShiftMask : 0;
    mods |= (fsModifiers & MOD_WIN) != 0 ? Mod4Mask : 0;
    return mods;
}

void Ungrab(Display* display, KeyCode keycode, unsigned int mods) {
    GdkDisplay* gdkDisplay = gdk_display_get_default();
    gdk_x11_display_error_trap_push(gdkDisplay);
    for (unsigned int variant : LockVariants(display)) {
        XUngrabKey(display, keycode, mods | variant, DefaultRootWindow(display));
    }
    gdk_x11_display_error_trap_pop_ignored(gdkDisplay);
}

// A combination another client holds gives BadAccess; the trap syncs, so it is seen here.
bool Grab(Display* display, KeyCode keycode, unsigned int mods) {
    GdkDisplay* gdkDisplay = gdk_display_get_default();
    gdk_x11_display_error_trap_push(gdkDisplay);
    for (unsigned int variant : LockVariants(display)) {
        XGrabKey(display, keycode, mods | variant, DefaultRootWindow(display), False, GrabModeAsync,
                 GrabModeAsync);
    }
    if (gdk_x11_display_error_trap_pop(gdkDisplay) != 0) {
        Ungrab(display, keycode, mods);
        return false;
    }
    return true;
}

GdkFilterReturn OnRootEvent(GdkXEvent* native, GdkEvent*, gpointer) {
    auto* event = static_cast<XEvent*>(native);
    if (event->type != KeyPress && event->type != KeyRelease) {
        return GDK_FILTER_CONTINUE;
    }
    const unsigned int state = event->xkey.state & kHotkeyModifiers;
    bool ours = false;
    for (Hotkey& hotkey : g_hotkeys) {
        if (hotkey.keycode != event->xkey.keycode) {
            continue;
        }
        if (event->type == KeyRelease) {
            hotkey.down = false;
            ours = true;
            continue;
        }
        if (hotkey.xModifiers != state) {
            continue;
        }
        ours = true;
        // GDK asks for detectable auto-repeat, so a held key repeats presses only.
        const bool repeat = hotkey.down;
        hotkey.down = true;
        if (repeat && (hotkey.fsModifiers & MOD_NOREPEAT) != 0) {
            continue;
        }
        const UINT modifiers = hotkey.fsModifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN);
        PostMessageW(hotkey.hwnd, WM_HOTKEY, static_cast<WPARAM>(hotkey.id),
                     MAKELPARAM(modifiers, hotkey.vk));
    }
    return ours ? GDK_FILTER_REMOVE : GDK_FILTER_CONTINUE;
}

BOOL GrabOnUiThread(HWND hWnd, int id, UINT fsModifiers, UINT vk) {
    Display* display = XDisplayOrNull();
    const unsigned long keysym = platform::x11::KeysymOfVirtualKey(vk);
    if (display == nullptr || keysym == NoSymbol || !IsWindow(hWnd)) {
        return FALSE;
    }
    const KeyCode keycode = XKeysymToKeycode(display, keysym);
    const unsigned int mods = XModifiersOf(fsModifiers);
    if (keycode == 0) {
        return FALSE;
    }
    // A second grab of the same keys by this connection would succeed silently.
    const bool taken = std::any_of(g_hotkeys.begin(), g_hotkeys.end(), [&](const Hotkey& h) {
        return (h.hwnd == hWnd && h.id == id) || (h.keycode == keycode && h.xModifiers == mods);
    });
    if (taken || !Grab(display, keycode, mods)) {
        return FALSE;
    }
    if (!g_filterInstalled) {
        gdk_window_add_filter(gdk_get_default_root_window(), OnRootEvent, nullptr);
        g_filterInstalled = true;
    }
    g_hotkeys.push_back({hWnd, id, fsModifiers, vk, keycode, mods});
    if (platform::session::IsWaylandSession() && !g_grabNeedsFocus.exchange(true)) {
        platform::session::LogInfo(
            L"hotkey: no working GlobalShortcuts portal in this Wayland session; the hotkey "
            L"works only while SongDeck has the focus");
    }
    return TRUE;
}

// Where the portal turned out unable to bind, after RegisterHotKey had accepted the key.
void GrabInstead(HWND hWnd, int id, UINT fsModifiers, UINT vk) {
    if (!GrabOnUiThread(hWnd, id, fsModifiers, vk)) {
        PostMessageW(hWnd, WM_HOTKEY_DECLINED, static_cast<WPARAM>(id), 0);
    }
}

BOOL RegisterOnUiThread(HWND hWnd, int id, UINT fsModifiers, UINT vk) {
    switch (platform::portal::Bind(hWnd, id, fsModifiers, vk, GrabInstead)) {
        case platform::portal::BindResult::Accepted:
            return TRUE;
        case platform::portal::BindResult::Refused:
            return FALSE;
        case platform::portal::BindResult::NoPortal:
            break;
    }
    return GrabOnUiThread(hWnd, id, fsModifiers, vk);
}

BOOL UnregisterOnUiThread(HWND hWnd, int id) {
    if (platform::portal::Unbind(hWnd, id)) {
        return TRUE;
    }
    auto it = std::find_if(g_hotkeys.begin(), g_hotkeys.end(),
                           [&](const Hotkey& h) { return h.hwnd == hWnd && h.id == id; });
    if (it == g_hotkeys.end()) {
        return FALSE;
    }
    if (Display* display = XDisplayOrNull()) {
        Ungrab(display, it->keycode, it->xModifiers);
    }
    g_hotkeys.erase(it);
    return TRUE;
}

}  // namespace

BOOL RegisterHotKey(HWND hWnd, int id, UINT fsModifiers, UINT vk) {
    BOOL result = FALSE;
    platform::SendTask(platform::GetUiThreadId(),
                       [&] { result = RegisterOnUiThread(hWnd, id, fsModifiers, vk); });
    return result;
}

BOOL UnregisterHotKey(HWND hWnd, int id) {
    BOOL result = FALSE;
    platform::SendTask(platform::GetUiThreadId(), [&] { result = UnregisterOnUiThread(hWnd, id); });
    return result;
}

namespace platform {

bool HotkeyNeedsFocus() {
    return g_grabNeedsFocus;
}

}  // namespace platform
