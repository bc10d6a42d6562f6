// A tray icon as a StatusNotifierItem on the session bus, for desktops whose panel hosts
// items through a StatusNotifierWatcher. UI thread only.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/icons.h"

namespace platform::dbus {

class StatusNotifierItem {
public:
    // Gets the mouse message a host's request stands for: Activate a double click
    // (WM_LBUTTONDBLCLK), ContextMenu a right click (WM_RBUTTONUP).
    using ClickHandler = std::function<void(UINT mouseMessage)>;

    // Exports the item and registers it with the watcher; null when no watcher runs or it
    // refuses the item.
    static std::unique_ptr<StatusNotifierItem> Create(ClickHandler onClick, HICON icon,
                                                      const std::string& tip);
    // Withdraws the item from the bus.
    ~StatusNotifierItem();
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    void SetIcon(HICON icon);
    void SetTip(const std::string& tip);
    const std::string& BusName() const { return m_strBusName; }

    static bool WatcherRunning();
    // Whether the watcher knows a host that draws items; true unless it says otherwise.
    static bool HostRegistered();

private:
    StatusNotifierItem(ClickHandler onClick, HICON icon, const std::string& tip);
    bool Export();
    void EmitSignal(const char* name);
    static void OnMethodCall(GDBusConnection*, const char*, const char*, const char*,
                             const char* method, GVariant*, GDBusMethodInvocation* invocation,
                             gpointer data);
    static GVariant* OnGetProperty(GDBusConnection*, const char*, const char*, const char*,
                                   const char* property, GError**, gpointer data);

    ClickHandler m_onClick;
    HICON m_hIcon;
    std::string m_strTip;
    std::string m_strBusName;
    GDBusConnection* m_pBus = nullptr;
    unsigned int m_nObjectId = 0;
};

}  // namespace platform::dbus
