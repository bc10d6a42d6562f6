#include "platform/linux/display_session.h"

#include <gdk/gdk.h>
#include <gdk/gdkx.h>

#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "platform/logger.h"

namespace {

constexpr char kBackendVariable[] = "GDK_BACKEND";
// GDK's Wayland keymap asks the default seat for its keyboard even when the compositor
// offers no seat at all (a headless or kiosk compositor).
constexpr char kSeatWithoutKeyboard[] =
    "gdk_seat_get_keyboard: assertion 'GDK_IS_SEAT (seat)' failed";

bool g_backendSetForWebProcess = false;

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
}

void OnGdkCritical(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer) {
    if (message != nullptr && std::strcmp(message, kSeatWithoutKeyboard) == 0) {
        return;
    }
    g_log_default_handler(domain, level, message, nullptr);
}

bool OnX11Display() {
    GdkDisplay* display = gdk_display_get_default();
    return display != nullptr && GDK_IS_X11_DISPLAY(display);
}

}  // namespace

namespace platform::session {

bool IsWaylandSession() {
    return IsSet("WAYLAND_DISPLAY");
}

void BeforeGtkInit() {
    if (!IsWaylandSession()) {
        return;
    }
    // The Wayland backend stays allowed, so a session whose XWayland fails still starts.
    gdk_set_allowed_backends("x11,wayland");
    g_log_set_handler("Gdk", G_LOG_LEVEL_CRITICAL, OnGdkCritical, nullptr);
}

void AfterGtkInit() {
    if (IsWaylandSession() && OnX11Display() && !IsSet(kBackendVariable)) {
        g_setenv(kBackendVariable, "x11", TRUE);
        g_backendSetForWebProcess = true;
    }
}

std::wstring BackendNote() {
    if (!IsWaylandSession()) {
        return {};
    }
    if (OnX11Display()) {
        return L"Wayland session: windows through XWayland";
    }
    return L"Wayland session without XWayland: windows on the Wayland backend, placed by the "
           L"compositor";
}

gchar** ChildEnvironment() {
    gchar** environment = g_get_environ();
    if (g_backendSetForWebProcess) {
        environment = g_environ_unsetenv(environment, kBackendVariable);
    }
    return environment;
}

void PrepareLaunch(GAppLaunchContext* context) {
    if (g_backendSetForWebProcess) {
        g_app_launch_context_unsetenv(context, kBackendVariable);
    }
}

void LogInfo(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    Logger::instance().info(format, args);
    va_end(args);
}

}  // namespace platform::session
