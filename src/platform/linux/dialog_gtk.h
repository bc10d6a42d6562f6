// The GTK widgets of a CDialog, for tests that read or press them on the UI thread.
#pragma once

#include <gtk/gtk.h>

#include "platform/types.h"

namespace platform::gtk {
// The dialog's GtkWindow (id 0) or the widget of one of its controls: a GtkButton, a
// GtkProgressBar, a GtkTextView, a GtkLabel or a GtkFrame. Null when unknown. UI thread only.
GtkWidget* GetDialogWidget(HWND dialog, int id);
}  // namespace platform::gtk
