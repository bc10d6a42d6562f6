// What the window manager offers on a top-level window, from the window's style: the title
// bar's buttons and whether the frame can be dragged to another size.
#pragma once

#include <gtk/gtk.h>

#include "platform/types.h"

namespace platform::gtk {

// Move always; close with the system menu; minimise and maximise with their boxes; resize
// with a sizing border.
GdkWMFunction WindowFunctions(DWORD style);

// Hands the functions to the window manager once the window is realized.
void ApplyWindowFunctions(GtkWidget* window, DWORD style);

}  // namespace platform::gtk
