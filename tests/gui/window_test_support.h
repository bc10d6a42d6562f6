// Helpers for window tests: a recording top-level window and X11 look-ups.
#pragma once

// GoogleTest before Xlib: Xlib's macros (None, Bool) break GoogleTest's names.
#include "unit/message_test_support.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <string>

#include "gui_support.h"
#include "platform/linux/native_window.h"

namespace guitest {

constexpr int kWaitMs = 5000;

inline unsigned long XidOf(HWND hwnd) {
    GtkWidget* widget = platform::gtk::GetWindowWidget(hwnd);
    GdkWindow* window = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
    return window != nullptr ? gdk_x11_window_get_xid(window) : 0;
}

// The text xprop prints for one property of the window.
inline std::string XProperty(HWND hwnd, const std::string& property) {
    return RunCommand("xprop -id " + std::to_string(XidOf(hwnd)) + " " + property);
}

// The window's widget allocation on the UI thread.
inline SIZE AllocatedSize(GtkWidget* widget) {
    return {gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget)};
}

// The frame on screen as the X server has it, decorations included.
inline RECT FrameOnScreen(HWND hwnd) {
    GtkWidget* widget = platform::gtk::GetWindowWidget(hwnd);
    GdkRectangle frame{};
    gdk_window_get_frame_extents(gtk_widget_get_window(widget), &frame);
    return {frame.x, frame.y, frame.x + frame.width, frame.y + frame.height};
}

// Outer size for a client size, by the system's rule.
inline SIZE OuterFor(int clientWidth, int clientHeight) {
    return {clientWidth + 2 * GetSystemMetrics(SM_CXBORDER),
            clientHeight + GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYCAPTION)};
}

}  // namespace guitest
