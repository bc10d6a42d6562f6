#include "platform/linux/global_shortcuts_portal.h"

#include <X11/Xlib.h>
#include <gio/gio.h>

#include <optional>

#include "platform/hotkey.h"
#include "platform/linux/display_session.h"
#include "platform/linux/portal_request.h"
#include "platform/linux/virtual_key_table.h"
#include "platform/messages.h"

namespace {

constexpr char kSessionInterface[] = "org.freedesktop.portal.Session";
constexpr char kShortcutId[] = "show-main-window";
constexpr char kShortcutDescription[] = "显示主窗口";
// Desktops name our set of keys after the session token: one name for every session, or
// each session would start a new set while the first kept the key.
constexpr char kSessionToken[] = "songdeck_hotkey";

using platform::portal::Answer;
using platform::portal::kCallTimeoutMs;
using platform::portal::kPortalName;
using platform::portal::kPortalPath;
using platform::portal::kShortcutsInterface;

struct Wanted {
    HWND hwnd;
    int id;
    UINT fsModifiers;
    UINT vk;
    std::string trigger;
    platform::portal::Fallback fallback;
};

// UI thread only. One portal call runs at a time; each answer moves the binding a step on.
struct PortalState {
    std::optional<Wanted> wanted;
    unsigned generation = 0;         // counts the bindings asked for
    std::string session;             // open on the portal side
    unsigned sessionGeneration = 0;  // the binding that session serves
    bool bound = false;              // the session holds the wanted shortcut
    bool busy = false;
    bool versionChecked = false;
    bool unusable = false;  // the portal failed: the fallback serves from then on
    bool reopened = false;  // the desktop closed the session once and it was opened again
    bool left = false;      // closed again by the desktop: left unbound
    guint subscriptions = 0;
};
PortalState g;

GDBusConnection* SessionBus() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus != nullptr) {
        // The shared connection lives as long as the process.
        g_object_unref(bus);
    }
    return bus;
}

void Advance();

// A step's answer; false when the binding it served was replaced meanwhile.
bool StepDone(unsigned generation) {
    g.busy = false;
    return g.wanted.has_value() && generation == g.generation;
}

void Fail(const char* step, const std::string& why) {
    platform::session::LogInfo(L"hotkey: no usable GlobalShortcuts portal (%hs: %hs)", step,
                               why.c_str());
    g.unusable = true;
}

void Decline() {
    platform::session::LogInfo(L"hotkey: the GlobalShortcuts portal did not bind %hs",
                               g.wanted->trigger.c_str());
    PostMessageW(g.wanted->hwnd, WM_HOTKEY_DECLINED, static_cast<WPARAM>(g.wanted->id), 0);
    g.wanted.reset();
}

// a(sa{sv}) with our one shortcut: KDE Plasma 5.27 takes it only from CreateSession, the
// documented portal from BindShortcuts.
GVariant* Shortcuts(const std::string& trigger) {
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&properties, "{sv}", "description",
                          g_variant_new_string(kShortcutDescription));
    g_variant_builder_add(&properties, "{sv}", "preferred_trigger",
                          g_variant_new_string(trigger.c_str()));
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    g_variant_builder_add(&shortcuts, "(sa{sv})", kShortcutId, &properties);
    return g_variant_builder_end(&shortcuts);
}

std::string NewRequestToken() {
    static unsigned count = 0;
    return "songdeck_request" + std::to_string(++count);
}

void CheckVersion(GDBusConnection* bus) {
    g.busy = true;
    g_dbus_connection_call(
        bus, kPortalName, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kShortcutsInterface, "version"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer) {
            GError* error = nullptr;
            GVariant* reply =
                g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            guint32 version = 0;
            if (reply != nullptr) {
                GVariant* value = nullptr;
                g_variant_get(reply, "(v)", &value);
                version = g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)
                              ? g_variant_get_uint32(value)
                              : 0;
                g_variant_unref(value);
                g_variant_unref(reply);
            }
            g.busy = false;
            g.versionChecked = version >= 1;
            if (!g.versionChecked) {
                Fail("version", error != nullptr ? error->message : "older than version 1");
            }
            if (error != nullptr) {
                g_error_free(error);
            }
            Advance();
        },
        nullptr);
}

void CreateSession(GDBusConnection* bus) {
    g.busy = true;
    const std::string token = NewRequestToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(kSessionToken));
    g_variant_builder_add(&options, "{sv}", "shortcuts", Shortcuts(g.wanted->trigger));
    const unsigned generation = g.generation;
    platform::portal::CallWithResponse(
        bus, "CreateSession", g_variant_new("(a{sv})", &options), token,
        [generation](Answer answer, GVariant* results, const std::string& why) {
            // A string in the portal's description, an object path in some implementations.
            const char* handle = nullptr;
            if (answer == Answer::Done &&
                !g_variant_lookup(results, "session_handle", "&s", &handle)) {
                g_variant_lookup(results, "session_handle", "&o", &handle);
            }
            if (handle != nullptr && g_variant_is_object_path(handle)) {
                g.session = handle;
                g.sessionGeneration = generation;
            }
            // A session for a binding replaced meanwhile is closed by the next step; a portal
            // that fails is no use to the next binding either.
            const bool current = StepDone(generation);
            if (answer == Answer::Declined) {
                if (current) {
                    Decline();
                }
            } else if (g.session.empty()) {
                Fail("CreateSession", answer == Answer::Done ? "no session" : why);
            }
            Advance();
        });
}

// True when the answer lists our shortcut, or lists none at all (the desktop asked the user
// and only said yes); *description is the trigger the desktop chose.
bool ShortcutBound(GVariant* results, std::string* description) {
    GVariant* shortcuts = g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"));
    if (shortcuts == nullptr) {
        return true;
    }
    bool found = false;
    GVariantIter iter;
    g_variant_iter_init(&iter, shortcuts);
    const char* id = nullptr;
    GVariant* properties = nullptr;
    while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &properties)) {
        const char* trigger = nullptr;
        if (!found && g_strcmp0(id, kShortcutId) == 0) {
            found = true;
            if (g_variant_lookup(properties, "trigger_description", "&s", &trigger)) {
                *description = trigger;
            }
        }
        g_variant_unref(properties);
    }
    g_variant_unref(shortcuts);
    return found;
}

void BindShortcuts(GDBusConnection* bus) {
    g.busy = true;
    const std::string token = NewRequestToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    const unsigned generation = g.generation;
    platform::portal::CallWithResponse(
        bus, "BindShortcuts",
        g_variant_new("(o@a(sa{sv})sa{sv})", g.session.c_str(), Shortcuts(g.wanted->trigger), "",
                      &options),
        token, [generation](Answer answer, GVariant* results, const std::string& why) {
            const bool current = StepDone(generation);
            std::string description;
            if (answer == Answer::Failed) {
                Fail("BindShortcuts", why);
            } else if (current &&
                       (answer == Answer::Declined || !ShortcutBound(results, &description))) {
                Decline();
            } else if (current) {
                g.bound = true;
                const std::string& trigger = g.wanted->trigger;
                if (!description.empty() &&
                    g_ascii_strcasecmp(description.c_str(), trigger.c_str()) != 0) {
                    platform::session::LogInfo(L"hotkey: the desktop bound %hs instead of %hs",
                                               description.c_str(), trigger.c_str());
                }
            }
            Advance();
        });
}

// The old session goes before the next is opened: they share their path.
void CloseSession(GDBusConnection* bus) {
    g.busy = true;
    g_dbus_connection_call(
        bus, kPortalName, g.session.c_str(), kSessionInterface, "Close", nullptr, nullptr,
        G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer) {
            // An error means the session is gone already.
            GVariant* reply =
                g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
            if (reply != nullptr) {
                g_variant_unref(reply);
            }
            g.busy = false;
            g.session.clear();
            g.bound = false;
            Advance();
        },
        nullptr);
    // Sent before a client that is ending goes away.
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

void Advance() {
    GDBusConnection* bus = SessionBus();
    if (g.busy || bus == nullptr) {
        return;
    }
    if (g.wanted && g.unusable) {
        const Wanted wanted = *g.wanted;
        g.wanted.reset();
        wanted.fallback(wanted.hwnd, wanted.id, wanted.fsModifiers, wanted.vk);
    }
    if (!g.session.empty() && (!g.wanted || g.sessionGeneration != g.generation)) {
        CloseSession(bus);
    } else if (!g.wanted || g.bound || g.left) {
        return;
    } else if (!g.versionChecked) {
        CheckVersion(bus);
    } else if (g.session.empty()) {
        CreateSession(bus);
    } else {
        BindShortcuts(bus);
    }
}

void OnActivated(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                 GVariant* parameters, gpointer) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})")) || !g.bound || !g.wanted ||
        g.sessionGeneration != g.generation) {
        return;
    }
    const char* session = nullptr;
    const char* id = nullptr;
    g_variant_get(parameters, "(&o&sta{sv})", &session, &id, nullptr, nullptr);
    if (g.session == session && g_strcmp0(id, kShortcutId) == 0) {
        const UINT modifiers =
            g.wanted->fsModifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN);
        PostMessageW(g.wanted->hwnd, WM_HOTKEY, static_cast<WPARAM>(g.wanted->id),
                     MAKELPARAM(modifiers, g.wanted->vk));
    }
}

// The desktop ended our session (its shortcut settings, a restart of the portal): opened and
// bound again once; a desktop that closes it again is left to it.
void OnSessionClosed(GDBusConnection*, const gchar*, const gchar* path, const gchar*, const gchar*,
                     GVariant*, gpointer) {
    if (g.busy || !g.bound || g.session != path) {
        return;
    }
    g.session.clear();
    g.bound = false;
    if (g.reopened) {
        platform::session::LogInfo(
            L"hotkey: the desktop closed the GlobalShortcuts session again; the hotkey stays "
            L"unbound");
        g.left = true;
        return;
    }
    platform::session::LogInfo(
        L"hotkey: the desktop closed the GlobalShortcuts session; binding again");
    g.reopened = true;
    Advance();
}

}  // namespace

namespace platform::portal {

std::string TriggerOf(UINT fsModifiers, UINT vk) {
    const unsigned long keysym = x11::KeysymOfVirtualKey(vk);
    const char* name = keysym != NoSymbol ? XKeysymToString(keysym) : nullptr;
    if (name == nullptr) {
        return {};
    }
    std::string trigger;
    trigger += (fsModifiers & MOD_CONTROL) != 0 ? "CTRL+" : "";
    trigger += (fsModifiers & MOD_ALT) != 0 ? "ALT+" : "";
    trigger += (fsModifiers & MOD_SHIFT) != 0 ? "SHIFT+" : "";
    trigger += (fsModifiers & MOD_WIN) != 0 ? "LOGO+" : "";
    // Letters as the keys are labelled.
    const std::string key = name;
    return trigger + (key.size() == 1 ? std::string(1, g_ascii_toupper(key[0])) : key);
}

BindResult Bind(HWND hWnd, int id, UINT fsModifiers, UINT vk, Fallback fallback) {
    GDBusConnection* bus = session::IsWaylandSession() ? SessionBus() : nullptr;
    if (bus == nullptr || g.unusable) {
        return BindResult::NoPortal;
    }
    const std::string trigger = TriggerOf(fsModifiers, vk);
    if (trigger.empty() || g.wanted || !IsWindow(hWnd)) {
        return BindResult::Refused;
    }
    if (g.subscriptions == 0) {
        g.subscriptions = g_dbus_connection_signal_subscribe(
            bus, kPortalName, kShortcutsInterface, "Activated", kPortalPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, OnActivated, nullptr, nullptr);
        g_dbus_connection_signal_subscribe(bus, kPortalName, kSessionInterface, "Closed", nullptr,
                                           nullptr, G_DBUS_SIGNAL_FLAGS_NONE, OnSessionClosed,
                                           nullptr, nullptr);
    }
    g.wanted = Wanted{hWnd, id, fsModifiers, vk, trigger, fallback};
    ++g.generation;
    g.reopened = false;
    g.left = false;
    Advance();
    return BindResult::Accepted;
}

bool Unbind(HWND hWnd, int id) {
    if (!g.wanted || g.wanted->hwnd != hWnd || g.wanted->id != id) {
        return false;
    }
    g.wanted.reset();
    Advance();
    return true;
}

}  // namespace platform::portal
