#include "stand_in_portal.h"

#include <algorithm>

namespace {

constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
constexpr char kShortcutsInterface[] = "org.freedesktop.portal.GlobalShortcuts";
constexpr char kSessionInterface[] = "org.freedesktop.portal.Session";

constexpr char kIntrospection[] =
    "<node>"
    " <interface name='org.freedesktop.portal.GlobalShortcuts'>"
    "  <method name='CreateSession'>"
    "   <arg type='a{sv}' direction='in'/><arg type='o' direction='out'/>"
    "  </method>"
    "  <method name='BindShortcuts'>"
    "   <arg type='o' direction='in'/><arg type='a(sa{sv})' direction='in'/>"
    "   <arg type='s' direction='in'/><arg type='a{sv}' direction='in'/>"
    "   <arg type='o' direction='out'/>"
    "  </method>"
    "  <property name='version' type='u' access='read'/>"
    " </interface>"
    " <interface name='org.freedesktop.portal.Session'><method name='Close'/></interface>"
    "</node>";

// "/org/freedesktop/portal/desktop/request/1_42/TOKEN" for sender ":1.42".
std::string HandlePath(const char* kind, const gchar* sender, const std::string& token) {
    std::string name = sender + 1;
    std::replace(name.begin(), name.end(), '.', '_');
    return std::string(kPortalPath) + "/" + kind + "/" + name + "/" + token;
}

std::string OptionText(GVariant* options, const char* key) {
    const char* value = nullptr;
    return g_variant_lookup(options, key, "&s", &value) ? value : "";
}

GVariant* GetVersion(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                     GError**, gpointer) {
    return g_variant_new_uint32(1);
}

// The session token, which names KDE's component.
std::string TokenOf(const std::string& session) {
    return session.substr(session.rfind('/') + 1);
}

}  // namespace

CStandInPortal::CStandInPortal(Behaviour behaviour) : m_behaviour(behaviour) {
    m_pContext = g_main_context_new();
    m_pLoop = g_main_loop_new(m_pContext, FALSE);
    std::promise<bool> started;
    std::future<bool> running = started.get_future();
    m_thread = std::thread([this, &started] { Run(&started); });
    m_bRunning = running.get();
}

CStandInPortal::~CStandInPortal() {
    g_main_loop_quit(m_pLoop);
    m_thread.join();
    g_main_loop_unref(m_pLoop);
    g_main_context_unref(m_pContext);
}

void CStandInPortal::Run(std::promise<bool>* started) {
    g_main_context_push_thread_default(m_pContext);
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    m_pConnection =
        address == nullptr
            ? nullptr
            : g_dbus_connection_new_for_address_sync(
                  address,
                  static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                    G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                  nullptr, nullptr, nullptr);
    g_free(address);
    bool owned = false;
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    if (m_pConnection != nullptr) {
        static const GDBusInterfaceVTable vtable{OnMethodCall, GetVersion, nullptr, {}};
        m_registrations.push_back(g_dbus_connection_register_object(
            m_pConnection, kPortalPath, node->interfaces[0], &vtable, this, nullptr, nullptr));
        // Do not queue: a portal that runs already must not be shadowed.
        GVariant* reply = g_dbus_connection_call_sync(
            m_pConnection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", kPortalName, 4u), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        guint32 answer = 0;
        if (reply != nullptr) {
            g_variant_get(reply, "(u)", &answer);
            g_variant_unref(reply);
        }
        owned = answer == 1;
    }
    started->set_value(owned);
    if (owned) {
        m_pSessionInterface = node->interfaces[1];
        g_main_loop_run(m_pLoop);
    }
    if (m_pConnection != nullptr) {
        for (guint registration : m_registrations) {
            g_dbus_connection_unregister_object(m_pConnection, registration);
        }
        for (const auto& session : m_sessions) {
            g_dbus_connection_unregister_object(m_pConnection, session.second);
        }
        g_dbus_connection_close_sync(m_pConnection, nullptr, nullptr);
        g_object_unref(m_pConnection);
    }
    g_dbus_node_info_unref(node);
    g_main_context_pop_thread_default(m_pContext);
}

void CStandInPortal::OnMethodCall(GDBusConnection*, const gchar* sender, const gchar* path,
                                  const gchar* interface, const gchar* method, GVariant* parameters,
                                  GDBusMethodInvocation* invocation, gpointer self) {
    auto* portal = static_cast<CStandInPortal*>(self);
    if (g_strcmp0(interface, kSessionInterface) == 0) {
        std::lock_guard<std::mutex> lock(portal->m_mutex);
        portal->m_closedSessions.push_back(path);
        portal->EndSession(path);
        g_dbus_method_invocation_return_value(invocation, nullptr);
    } else if (g_strcmp0(method, "CreateSession") == 0) {
        portal->CreateSession(sender, parameters, invocation);
    } else {
        portal->BindShortcuts(sender, parameters, invocation);
    }
}

void CStandInPortal::CreateSession(const gchar* sender, GVariant* parameters,
                                   GDBusMethodInvocation* invocation) {
    GVariant* options = g_variant_get_child_value(parameters, 0);
    const std::string request = HandlePath("request", sender, OptionText(options, "handle_token"));
    const std::string session =
        HandlePath("session", sender, OptionText(options, "session_handle_token"));
    g_autoptr(GVariant) shortcuts =
        g_variant_lookup_value(options, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"));
    g_variant_unref(options);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", request.c_str()));
    // Answered with the lock held, so a press the test makes next comes after the answer.
    std::lock_guard<std::mutex> lock(m_mutex);
    GVariantBuilder results;
    g_variant_builder_init(&results, G_VARIANT_TYPE_VARDICT);
    // The real portal cannot open a session where one is open: it answers code 2.
    if (m_behaviour == Behaviour::NoBackend || m_sessions.count(session) != 0) {
        Respond(request, 2, g_variant_builder_end(&results));
        return;
    }
    static const GDBusInterfaceVTable vtable{OnMethodCall, nullptr, nullptr, {}};
    m_sessions[session] = g_dbus_connection_register_object(
        m_pConnection, session.c_str(), m_pSessionInterface, &vtable, this, nullptr, nullptr);
    if (m_behaviour == Behaviour::Kde527 && shortcuts != nullptr &&
        g_variant_n_children(shortcuts) > 0) {
        g_autoptr(GVariant) properties = nullptr;
        g_variant_get_child(shortcuts, 0, "(&s@a{sv})", nullptr, &properties);
        Bind(session, properties, OptionText(properties, "preferred_trigger"));
    }
    g_variant_builder_add(&results, "{sv}", "session_handle",
                          g_variant_new_string(session.c_str()));
    Respond(request, 0, g_variant_builder_end(&results));
}

void CStandInPortal::Bind(const std::string& session, GVariant* properties,
                          const std::string& key) {
    m_descriptions.push_back(OptionText(properties, "description"));
    m_triggers.push_back(OptionText(properties, "preferred_trigger"));
    m_boundSession = session;
    m_boundSessions.push_back(session);
    TakeKey(TokenOf(session), key);
}

void CStandInPortal::TakeKey(const std::string& token, const std::string& key) {
    for (auto it = m_keyOwners.begin(); it != m_keyOwners.end();) {
        it = it->second == token ? m_keyOwners.erase(it) : std::next(it);
    }
    if (!key.empty()) {
        m_keyOwners.emplace(key, token);
    }
}

void CStandInPortal::EndSession(const std::string& session) {
    auto it = m_sessions.find(session);
    if (it != m_sessions.end()) {
        g_dbus_connection_unregister_object(m_pConnection, it->second);
        m_sessions.erase(it);
    }
    if (m_boundSession == session) {
        m_boundSession.clear();
    }
    // KDE's component keeps its keys; the documented portal's go with the session.
    if (m_behaviour == Behaviour::Documented) {
        TakeKey(TokenOf(session), "");
    }
}

void CStandInPortal::BindShortcuts(const gchar* sender, GVariant* parameters,
                                   GDBusMethodInvocation* invocation) {
    const char* session = nullptr;
    GVariant* shortcuts = nullptr;
    GVariant* options = nullptr;
    g_variant_get(parameters, "(&o@a(sa{sv})&s@a{sv})", &session, &shortcuts, nullptr, &options);
    const std::string request = HandlePath("request", sender, OptionText(options, "handle_token"));
    g_variant_unref(options);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(o)", request.c_str()));

    const char* id = "";
    GVariant* properties = nullptr;
    g_variant_get_child(shortcuts, 0, "(&s@a{sv})", &id, &properties);
    const std::string trigger = OptionText(properties, "preferred_trigger");
    std::string described;
    bool refuse = false;
    bool listed = true;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        refuse = m_bRefuse;
        if (m_behaviour == Behaviour::Kde527) {
            // It lists what CreateSession gave, with the trigger asked for, held or not.
            listed = m_boundSession == session;
            described = listed ? m_triggers.back() : "";
        } else if (!refuse) {
            // The user may have chosen another key in the desktop's dialog.
            described = m_describedAs.empty() ? trigger : m_describedAs;
            Bind(session, properties, described);
        }
    }
    g_variant_unref(properties);
    GVariantBuilder results;
    g_variant_builder_init(&results, G_VARIANT_TYPE_VARDICT);
    // KDE answers an empty list for a session that got no shortcuts.
    if (!refuse) {
        GVariantBuilder bound;
        g_variant_builder_init(&bound, G_VARIANT_TYPE("a(sa{sv})"));
        if (listed) {
            g_variant_builder_open(&bound, G_VARIANT_TYPE("(sa{sv})"));
            g_variant_builder_add(&bound, "s", id);
            g_variant_builder_open(&bound, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&bound, "{sv}", "trigger_description",
                                  g_variant_new_string(described.c_str()));
            g_variant_builder_close(&bound);
            g_variant_builder_close(&bound);
        }
        g_variant_builder_add(&results, "{sv}", "shortcuts", g_variant_builder_end(&bound));
    }
    g_variant_unref(shortcuts);
    Respond(request, refuse ? 1 : 0, g_variant_builder_end(&results));
}

void CStandInPortal::Respond(const std::string& request, guint32 code, GVariant* results) {
    g_dbus_connection_emit_signal(m_pConnection, nullptr, request.c_str(),
                                  "org.freedesktop.portal.Request", "Response",
                                  g_variant_new("(u@a{sv})", code, results), nullptr);
}

void CStandInPortal::Refuse() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_bRefuse = true;
}

void CStandInPortal::DescribeTriggerAs(const std::string& trigger) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_describedAs = trigger;
}

std::vector<std::string> CStandInPortal::Triggers() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_triggers;
}

std::vector<std::string> CStandInPortal::Descriptions() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_descriptions;
}

std::vector<std::string> CStandInPortal::ClosedSessions() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_closedSessions;
}

std::vector<std::string> CStandInPortal::BoundSessions() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boundSessions;
}

std::string CStandInPortal::BoundSession() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boundSession;
}

void CStandInPortal::Press(const std::string& trigger) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto owner = m_keyOwners.find(trigger);
    for (const auto& open : m_sessions) {
        if (owner != m_keyOwners.end() && TokenOf(open.first) == owner->second) {
            g_dbus_connection_emit_signal(
                m_pConnection, nullptr, kPortalPath, kShortcutsInterface, "Activated",
                g_variant_new("(ost@a{sv})", open.first.c_str(), "show-main-window", guint64(0),
                              g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                nullptr);
        }
    }
}

void CStandInPortal::CloseFromDesktop() {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::string session = m_boundSession;
    if (!session.empty()) {
        EndSession(session);
        g_dbus_connection_emit_signal(
            m_pConnection, nullptr, session.c_str(), kSessionInterface, "Closed",
            g_variant_new("(@a{sv})", g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
            nullptr);
    }
}
