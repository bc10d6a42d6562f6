// A GlobalShortcuts portal of the tests' own on the session bus: it owns the desktop portal's
// name, answers CreateSession and BindShortcuts through Request objects' Response signals as
// the desktop does, records what it was asked, and emits Activated when the test presses.
#pragma once

#include <gio/gio.h>

#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CStandInPortal {
public:
    enum class Behaviour {
        // As the portal's documentation says: BindShortcuts binds, a session's keys go with it.
        Documented,
        // As KDE Plasma 5.27: the shortcuts are taken only from CreateSession, BindShortcuts
        // answers with those the session has, and the keys belong to a component named after
        // the session token, which keeps them after its session; a key stays with the first.
        Kde527,
        // The interface is there but its backend is not: every session fails (code 2).
        NoBackend,
    };

    explicit CStandInPortal(Behaviour behaviour = Behaviour::Documented);
    ~CStandInPortal();
    CStandInPortal(const CStandInPortal&) = delete;
    CStandInPortal& operator=(const CStandInPortal&) = delete;

    // False when the portal's name could not be had on the session bus.
    bool Running() const { return m_bRunning; }
    // Every later BindShortcuts is refused (the user cancelled the desktop's dialog).
    void Refuse();
    // Later bindings report this trigger instead of the preferred one (the user chose it).
    void DescribeTriggerAs(const std::string& trigger);

    // The preferred triggers of the bound shortcuts, in order.
    std::vector<std::string> Triggers();
    std::vector<std::string> Descriptions();
    std::vector<std::string> ClosedSessions();
    // The sessions whose shortcut was bound, in order.
    std::vector<std::string> BoundSessions();
    // The session of the last shortcut bound while it is open; empty when none is.
    std::string BoundSession();
    // The desktop saw the key pressed: Activated for the open session that holds it.
    void Press(const std::string& trigger);
    // The desktop ends the session of the last shortcut bound (Closed).
    void CloseFromDesktop();

private:
    static void OnMethodCall(GDBusConnection* connection, const gchar* sender, const gchar* path,
                             const gchar* interface, const gchar* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer self);
    void Run(std::promise<bool>* started);
    void CreateSession(const gchar* sender, GVariant* parameters,
                       GDBusMethodInvocation* invocation);
    void BindShortcuts(const gchar* sender, GVariant* parameters,
                       GDBusMethodInvocation* invocation);
    void Respond(const std::string& request, guint32 code, GVariant* results);
    // With m_mutex held: records the binding, and gives the key to the session's token (all
    // the token held before goes) unless another token holds it.
    void Bind(const std::string& session, GVariant* properties, const std::string& key);
    void TakeKey(const std::string& token, const std::string& key);
    void EndSession(const std::string& session);

    const Behaviour m_behaviour;
    GMainContext* m_pContext = nullptr;
    GMainLoop* m_pLoop = nullptr;
    GDBusConnection* m_pConnection = nullptr;
    GDBusInterfaceInfo* m_pSessionInterface = nullptr;
    std::thread m_thread;
    bool m_bRunning = false;

    std::mutex m_mutex;
    bool m_bRefuse = false;
    std::string m_describedAs;
    std::vector<std::string> m_triggers;
    std::vector<std::string> m_descriptions;
    std::vector<std::string> m_closedSessions;
    std::string m_boundSession;
    std::vector<std::string> m_boundSessions;
    std::vector<guint> m_registrations;
    std::map<std::string, guint> m_sessions;  // open sessions and their objects
    // The session token that holds each key.
    std::map<std::string, std::string> m_keyOwners;
};
