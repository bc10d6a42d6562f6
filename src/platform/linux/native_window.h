// The GTK side of windows, for other Linux platform code (the web view, dialogs). Call these
// on the UI thread only.
#pragma once

#include <gtk/gtk.h>

#include "platform/types.h"

namespace platform::gtk {

// The window's own widget: the GtkWindow of a top-level window, the placed widget of a
// child; null for a message-only or unknown window.
GtkWidget* GetWindowWidget(HWND hwnd);
// The container (a GtkLayout) that the window's children are placed in; its size is the
// client area.
GtkWidget* GetContentContainer(HWND hwnd);
// Puts `content` into a WS_CHILD window so that it always fills that window (replacing any
// content set before).
void SetChildContent(HWND child, GtkWidget* content);

}  // namespace platform::gtk
