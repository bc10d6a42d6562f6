#include "platform/linux/desktop_notification.h"

#include <gio/gio.h>

namespace platform::dbus {
namespace {

constexpr const char* kService = "org.freedesktop.Notifications";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr int kCallTimeoutMs = 5000;

GDBusConnection* SessionBus() {
    // The shared connection; GIO keeps it for the process.
    static GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    return bus;
}

void CloseById(unsigned int id) {
    if (id == 0 || SessionBus() == nullptr) {
        return;
    }
    g_dbus_connection_call(SessionBus(), kService, kPath, kService, "CloseNotification",
                           g_variant_new("(u)", id), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           kCallTimeoutMs, nullptr, nullptr, nullptr);
}

}  // namespace

// Shared with the pending replies, which may come after the object is gone.
struct DesktopNotification::State {
    unsigned int id = 0;
    unsigned int generation = 0;  // which Show the id belongs to
    bool alive = true;
};

DesktopNotification::DesktopNotification() : m_pState(std::make_shared<State>()) {}

DesktopNotification::~DesktopNotification() {
    Close();
    m_pState->alive = false;
}

bool DesktopNotification::Show(const std::string& title, const std::string& body,
                               const std::string& icon, int timeoutMs) {
    GDBusConnection* bus = SessionBus();
    if (bus == nullptr) {
        return false;
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    GVariant* args =
        g_variant_new("(susssasa{sv}i)", g_get_application_name(), m_pState->id, icon.c_str(),
                      title.c_str(), body.c_str(), nullptr, &hints, timeoutMs);
    const unsigned int generation = ++m_pState->generation;
    auto* reply = new std::pair<std::shared_ptr<State>, unsigned int>(m_pState, generation);
    g_dbus_connection_call(
        bus, kService, kPath, kService, "Notify", args, G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* pending = static_cast<std::pair<std::shared_ptr<State>, unsigned int>*>(data);
            GVariant* answer =
                g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
            unsigned int id = 0;
            if (answer != nullptr) {
                g_variant_get(answer, "(u)", &id);
                g_variant_unref(answer);
            }
            State& state = *pending->first;
            // A notification closed (or replaced) before the daemon answered goes away now.
            if (state.alive && state.generation == pending->second) {
                state.id = id;
            } else if (id != state.id) {
                CloseById(id);
            }
            delete pending;
        },
        reply);
    return true;
}

void DesktopNotification::Close() {
    ++m_pState->generation;
    CloseById(m_pState->id);
    m_pState->id = 0;
}

unsigned int DesktopNotification::Id() const {
    return m_pState->id;
}

}  // namespace platform::dbus
