// A call of a desktop portal method that answers through a Request object: the reply names
// the Request, and its Response signal carries the answer, maybe after the desktop asked the
// user. Everything runs on the calling thread's main context; nothing waits.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>

namespace platform::portal {

inline constexpr char kPortalName[] = "org.freedesktop.portal.Desktop";
inline constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";
inline constexpr char kShortcutsInterface[] = "org.freedesktop.portal.GlobalShortcuts";
inline constexpr int kCallTimeoutMs = 10000;

enum class Answer {
    Done,      // code 0
    Declined,  // code 1: the user or the desktop said no
    Failed,    // code 2, an error of the call itself, or no answer in time
};

// results: the Response's a{sv} (empty unless Done); why: what failed, for the log.
using AnswerHandler = std::function<void(Answer answer, GVariant* results, const std::string& why)>;

// Where the portal puts the Request or Session object of our token: kind "request" or
// "session" (sender ":1.42" becomes "1_42").
std::string HandlePath(GDBusConnection* bus, const char* kind, const std::string& token);

// Calls method of the GlobalShortcuts interface; parameters' options carry handle_token =
// token. done runs once, on this thread, within 30 s at the latest.
void CallWithResponse(GDBusConnection* bus, const char* method, GVariant* parameters,
                      const std::string& token, AnswerHandler done);

}  // namespace platform::portal
