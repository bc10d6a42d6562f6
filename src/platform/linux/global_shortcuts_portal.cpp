#include "platform/linux/global_shortcuts_portal.h"

#include <X11/Xlib.h>
#include <gio/gio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/hotkey.h"
#include "platform/linux/display_session.h"
#include "platform/linux/virtual_key_table.h"
#include "platform/messages.h"

namespace {

constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kShortcutsInterface[] = "org.freedesktop.portal.GlobalShortcuts";
constexpr char kRequestInterface[] = "org.freedesktop.portal.Request";
constexpr char kSessionInterface[] = "org.freedesktop.portal.Session";
constexpr char kShortcutId[] = "show-main-window";
constexpr char kShortcutDescription[] = "显示主窗口";
// The desktop may ask the user in a dialog of its own before it answers.
constexpr gint64 kResponseWaitUs = 30 * G_USEC_PER_SEC;
constexpr int kCallTimeoutMs = 10000;

struct Binding {
    HWND hwnd;
    int id;
    UINT fsModifiers;
    UINT vk;
    std::string session;
};

// UI thread only.
std::vector<Binding> g_bindings;
guint g_activatedSubscription = 0;
std::atomic<unsigned> g_tokenCount{0};

GDBusConnection* SessionBus() {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (bus != nullptr) {
        // The shared connection lives as long as the process.
        g_object_unref(bus);
    }
    return bus;
}

std::string NewToken() {
    return "songdeck" + std::to_string(getpid()) + "_" + std::to_string(++g_tokenCount);
}

// Where the portal puts the Request object for a token (sender ":1.42" becomes "1_42").
std::string RequestPath(GDBusConnection* bus, const std::string& token) {
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    std::replace(sender.begin(), sender.end(), '.', '_');
    return std::string(kPortalPath) + "/request/" + sender + "/" + token;
}

guint32 PortalVersion(GDBusConnection* bus) {
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kPortalName, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", kShortcutsInterface, "version"), G_VARIANT_TYPE("(v)"),
        G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
    if (reply == nullptr) {
        return 0;
    }
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    const guint32 version =
        g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value) : 0;
    g_variant_unref(value);
    g_variant_unref(reply);
    return version;
}

struct Response {
    bool arrived = false;
    guint32 code = 2;
    GVariant* results = nullptr;
};

void OnResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                GVariant* parameters, gpointer data) {
    auto* response = static_cast<Response*>(data);
    if (response->arrived || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) {
        return;
    }
    response->arrived = true;
    g_variant_get(parameters, "(u@a{sv})", &response->code, &response->results);
}

// Calls a method that answers through a Request object and waits for its Response on a
// context of its own, so nothing else of the client runs meanwhile. The results of a
// successful answer (free with g_variant_unref), else null.
GVariant* CallAndAwaitResponse(GDBusConnection* bus, const char* method, GVariant* parameters,
                               const std::string& token) {
    const std::string path = RequestPath(bus, token);
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    // Deleted with the subscription, which may still hold it for a signal on its way.
    auto* response = new Response;
    const guint subscription = g_dbus_connection_signal_subscribe(
        bus, kPortalName, kRequestInterface, "Response", path.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, OnResponse, response, [](gpointer data) {
            auto* done = static_cast<Response*>(data);
            if (done->results != nullptr) {
                g_variant_unref(done->results);
            }
            delete done;
        });
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kPortalName, kPortalPath, kShortcutsInterface, method, parameters,
        G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
    GVariant* results = nullptr;
    if (reply != nullptr) {
        const gint64 deadline = g_get_monotonic_time() + kResponseWaitUs;
        GSource* wake = g_timeout_source_new(100);
        g_source_set_callback(
            wake, [](gpointer) { return gboolean(G_SOURCE_CONTINUE); }, nullptr, nullptr);
        g_source_attach(wake, context);
        while (!response->arrived && g_get_monotonic_time() < deadline) {
            g_main_context_iteration(context, TRUE);
        }
        g_source_destroy(wake);
        g_source_unref(wake);
        if (!response->arrived) {
            // Nobody waits any more: the desktop may drop its dialog.
            const char* handle = nullptr;
            g_variant_get(reply, "(&o)", &handle);
            g_dbus_connection_call(bus, kPortalName, handle, kRequestInterface, "Close", nullptr,
                                   nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        } else if (response->code == 0 && response->results != nullptr) {
            results = g_variant_ref(response->results);
        }
        g_variant_unref(reply);
    }
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return results;
}

std::string CreateSession(GDBusConnection* bus) {
    const std::string token = NewToken();
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    g_variant_builder_add(&options, "{sv}", "session_handle_token",
                          g_variant_new_string(token.c_str()));
    GVariant* results =
        CallAndAwaitResponse(bus, "CreateSession", g_variant_new("(a{sv})", &options), token);
    std::string session;
    if (results != nullptr) {
        // A string in the portal's description, an object path in some implementations.
        if (GVariant* handle = g_variant_lookup_value(results, "session_handle", nullptr)) {
            if (g_variant_is_of_type(handle, G_VARIANT_TYPE_STRING) ||
                g_variant_is_of_type(handle, G_VARIANT_TYPE_OBJECT_PATH)) {
                session = g_variant_get_string(handle, nullptr);
            }
            g_variant_unref(handle);
        }
        g_variant_unref(results);
    }
    return g_variant_is_object_path(session.c_str()) ? session : std::string();
}

void CloseSession(GDBusConnection* bus, const std::string& session) {
    g_dbus_connection_call(bus, kPortalName, session.c_str(), kSessionInterface, "Close", nullptr,
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
    // Sent before a client that is ending goes away.
    g_dbus_connection_flush_sync(bus, nullptr, nullptr);
}

// True when the portal's answer lists our shortcut; *description is the trigger it got.
bool FindBoundShortcut(GVariant* results, std::string* description) {
    GVariant* shortcuts = g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"));
    if (shortcuts == nullptr) {
        return false;
    }
    bool found = false;
    GVariantIter iter;
    g_variant_iter_init(&iter, shortcuts);
    const char* id = nullptr;
    GVariant* properties = nullptr;
    while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &properties)) {
        if (!found && g_strcmp0(id, kShortcutId) == 0) {
            found = true;
            const char* trigger = nullptr;
            if (g_variant_lookup(properties, "trigger_description", "&s", &trigger)) {
                *description = trigger;
            }
        }
        g_variant_unref(properties);
    }
    g_variant_unref(shortcuts);
    return found;
}

bool BindShortcut(GDBusConnection* bus, const std::string& session, const std::string& trigger) {
    const std::string token = NewToken();
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&properties, "{sv}", "description",
                          g_variant_new_string(kShortcutDescription));
    g_variant_builder_add(&properties, "{sv}", "preferred_trigger",
                          g_variant_new_string(trigger.c_str()));
    GVariantBuilder shortcuts;
    g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
    g_variant_builder_add(&shortcuts, "(sa{sv})", kShortcutId, &properties);
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token.c_str()));
    GVariant* results = CallAndAwaitResponse(
        bus, "BindShortcuts",
        g_variant_new("(oa(sa{sv})sa{sv})", session.c_str(), &shortcuts, "", &options), token);
    if (results == nullptr) {
        return false;
    }
    std::string description;
    const bool bound = FindBoundShortcut(results, &description);
    g_variant_unref(results);
    if (bound && !description.empty() && g_ascii_strcasecmp(description.c_str(), trigger.c_str())) {
        platform::session::LogInfo(L"hotkey: the desktop bound %hs instead of %hs",
                                   description.c_str(), trigger.c_str());
    }
    return bound;
}

void OnActivated(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                 GVariant* parameters, gpointer) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) {
        return;
    }
    const char* session = nullptr;
    const char* id = nullptr;
    g_variant_get(parameters, "(&o&sta{sv})", &session, &id, nullptr, nullptr);
    for (const Binding& binding : g_bindings) {
        if (binding.session == session && g_strcmp0(id, kShortcutId) == 0) {
            const UINT modifiers =
                binding.fsModifiers & (MOD_ALT | MOD_CONTROL | MOD_SHIFT | MOD_WIN);
            PostMessageW(binding.hwnd, WM_HOTKEY, static_cast<WPARAM>(binding.id),
                         MAKELPARAM(modifiers, binding.vk));
        }
    }
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

BindResult Bind(HWND hWnd, int id, UINT fsModifiers, UINT vk) {
    GDBusConnection* bus = session::IsWaylandSession() ? SessionBus() : nullptr;
    if (bus == nullptr || PortalVersion(bus) < 1) {
        return BindResult::NoPortal;
    }
    const std::string trigger = TriggerOf(fsModifiers, vk);
    const bool taken = std::any_of(g_bindings.begin(), g_bindings.end(),
                                   [&](const Binding& b) { return b.hwnd == hWnd && b.id == id; });
    if (trigger.empty() || taken || !IsWindow(hWnd)) {
        return BindResult::Refused;
    }
    if (g_activatedSubscription == 0) {
        g_activatedSubscription = g_dbus_connection_signal_subscribe(
            bus, kPortalName, kShortcutsInterface, "Activated", kPortalPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, OnActivated, nullptr, nullptr);
    }
    const std::string sessionHandle = CreateSession(bus);
    if (sessionHandle.empty()) {
        session::LogInfo(L"hotkey: the GlobalShortcuts portal gave no session");
        return BindResult::Refused;
    }
    if (!BindShortcut(bus, sessionHandle, trigger)) {
        session::LogInfo(L"hotkey: the GlobalShortcuts portal did not bind %hs", trigger.c_str());
        CloseSession(bus, sessionHandle);
        return BindResult::Refused;
    }
    g_bindings.push_back({hWnd, id, fsModifiers, vk, sessionHandle});
    return BindResult::Bound;
}

bool Unbind(HWND hWnd, int id) {
    auto it = std::find_if(g_bindings.begin(), g_bindings.end(),
                           [&](const Binding& b) { return b.hwnd == hWnd && b.id == id; });
    if (it == g_bindings.end()) {
        return false;
    }
    if (GDBusConnection* bus = SessionBus()) {
        CloseSession(bus, it->session);
    }
    g_bindings.erase(it);
    return true;
}

}  // namespace platform::portal
