// Desktop notifications (org.freedesktop.Notifications on the session bus): the tray
// icon's balloon. UI thread only.
#pragma once

#include <memory>
#include <string>

namespace platform::dbus {

class DesktopNotification {
public:
    DesktopNotification();
    // Takes the notification away.
    ~DesktopNotification();
    DesktopNotification(const DesktopNotification&) = delete;
    DesktopNotification& operator=(const DesktopNotification&) = delete;

    // Shows the text, replacing what this object showed before; icon is a theme icon name
    // or a file path. False when no session bus can be reached; the daemon answers later.
    bool Show(const std::string& title, const std::string& body, const std::string& icon,
              int timeoutMs);
    void Close();

    // The notification's id once the daemon has answered; 0 before and after Close.
    unsigned int Id() const;

private:
    struct State;
    std::shared_ptr<State> m_pState;
};

}  // namespace platform::dbus
