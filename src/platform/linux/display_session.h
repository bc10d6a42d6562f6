// Which display the GUI runs on. In a Wayland session the client prefers XWayland, where a
// window can place itself and the popup can slide beside the panel as on X11.
#pragma once

#include <gio/gio.h>

#include <string>

namespace platform::session {

// A GPU render node this user may open; one the user lacks the rights to serves no better
// than none.
bool HasRenderNode();
// A Wayland compositor runs the user's session (WAYLAND_DISPLAY is set).
bool IsWaylandSession();
// Before GTK starts: X11 first where the session offers XWayland, the Wayland backend
// otherwise; a seat without a keyboard is no fault worth a critical. On a machine without a
// GPU the web engine is told to paint pages directly instead of compositing them.
void BeforeGtkInit();
// After GTK opened its display: the web process is told to follow it onto XWayland, since
// on its own it would take the Wayland backend.
void AfterGtkInit();
// What was chosen, for the log; empty on a plain X11 session with a GPU.
std::wstring BackendNote();
// The environment for programs the client starts: without what was set for the web engine
// (backend, painting), so they choose for themselves. Free with g_strfreev.
gchar** ChildEnvironment();
// The same for a program the desktop starts for us (the browser).
void PrepareLaunch(GAppLaunchContext* context);

// A line in the client's log about how the desktop serves us (the logger's wide format).
void LogInfo(const wchar_t* format, ...);

}  // namespace platform::session
