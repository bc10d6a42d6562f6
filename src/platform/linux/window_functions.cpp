// Window functions by handle: the CWnd members of the same names, looked up in the registry.
#include <gtk/gtk.h>

#include "platform/linux/native_window.h"
#include "platform/window_functions.h"
#include "platform/wnd.h"

BOOL ShowWindow(HWND hWnd, int nCmdShow) {
    CWnd* wnd = CWnd::FromHandle(hWnd);
    return wnd != nullptr ? wnd->ShowWindow(nCmdShow) : FALSE;
}

BOOL IsWindowVisible(HWND hWnd) {
    CWnd* wnd = CWnd::FromHandle(hWnd);
    return wnd != nullptr ? wnd->IsWindowVisible() : FALSE;
}

BOOL SetForegroundWindow(HWND hWnd) {
    CWnd* wnd = CWnd::FromHandle(hWnd);
    return wnd != nullptr ? wnd->SetForegroundWindow() : FALSE;
}

BOOL IsIconic(HWND hWnd) {
    BOOL iconic = FALSE;
    platform::SendTask(platform::GetUiThreadId(), [&] {
        GtkWidget* widget = platform::gtk::GetWindowWidget(hWnd);
        GdkWindow* window = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
        if (window != nullptr && GTK_IS_WINDOW(widget)) {
            iconic = (gdk_window_get_state(window) & GDK_WINDOW_STATE_ICONIFIED) != 0;
        }
    });
    return iconic;
}

BOOL GetCursorPos(POINT* lpPoint) {
    BOOL found = FALSE;
    platform::SendTask(platform::GetUiThreadId(), [&] {
        GdkDisplay* display = gdk_display_get_default();
        GdkSeat* seat = display != nullptr ? gdk_display_get_default_seat(display) : nullptr;
        GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
        if (pointer != nullptr && lpPoint != nullptr) {
            int x = 0, y = 0;
            gdk_device_get_position(pointer, nullptr, &x, &y);
            *lpPoint = {x, y};
            found = TRUE;
        }
    });
    return found;
}
