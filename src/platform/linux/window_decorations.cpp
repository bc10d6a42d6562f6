#include "platform/linux/window_decorations.h"

#include "platform/wnd.h"

namespace platform::gtk {
namespace {

// Each part of the style with the function it allows and the decoration that offers it.
struct StylePart {
    DWORD style;
    unsigned function;
    unsigned decoration;
};
constexpr StylePart kStyleParts[] = {
    {WS_SYSMENU, GDK_FUNC_CLOSE, 0},
    {WS_MINIMIZEBOX, GDK_FUNC_MINIMIZE, GDK_DECOR_MINIMIZE},
    {WS_MAXIMIZEBOX, GDK_FUNC_MAXIMIZE, GDK_DECOR_MAXIMIZE},
    {WS_THICKFRAME, GDK_FUNC_RESIZE, GDK_DECOR_RESIZEH},
};

GdkWMDecoration WindowDecorations(DWORD style) {
    unsigned decorations = GDK_DECOR_BORDER | GDK_DECOR_TITLE | GDK_DECOR_MENU;
    for (const StylePart& part : kStyleParts) {
        decorations |= (style & part.style) != 0 ? part.decoration : 0;
    }
    return static_cast<GdkWMDecoration>(decorations);
}

void OnRealize(GtkWidget* widget, gpointer data) {
    GdkWindow* window = gtk_widget_get_window(widget);
    const DWORD style = static_cast<DWORD>(GPOINTER_TO_UINT(data));
    if (window != nullptr) {
        // Resizing stays a function: the program sizes the window, and a window the user may
        // not size is held at its size by its size hints (GTK's non-resizable window).
        gdk_window_set_functions(
            window, static_cast<GdkWMFunction>(WindowFunctions(style) | GDK_FUNC_RESIZE));
        gdk_window_set_decorations(window, WindowDecorations(style));
    }
}

}  // namespace

GdkWMFunction WindowFunctions(DWORD style) {
    unsigned functions = GDK_FUNC_MOVE;
    for (const StylePart& part : kStyleParts) {
        functions |= (style & part.style) != 0 ? part.function : 0;
    }
    return static_cast<GdkWMFunction>(functions);
}

void ApplyWindowFunctions(GtkWidget* window, DWORD style) {
    gpointer data = GUINT_TO_POINTER(static_cast<unsigned>(style));
    g_signal_connect(window, "realize", G_CALLBACK(OnRealize), data);
    if (gtk_widget_get_realized(window)) {
        OnRealize(window, data);
    }
}

}  // namespace platform::gtk
