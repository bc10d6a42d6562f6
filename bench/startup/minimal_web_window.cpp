// The reference: the least a WebKitGTK program does to show one page in a window. The window
// is shown when the page has loaded, as the client shows its main window.
#include "minimal_web_window.h"

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

namespace {

void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer window) {
    if (event == WEBKIT_LOAD_FINISHED) {
        gtk_widget_show_all(GTK_WIDGET(window));
    }
}

void OnTitleChanged(WebKitWebView* view, GParamSpec*, gpointer window) {
    const gchar* title = webkit_web_view_get_title(view);
    gtk_window_set_title(GTK_WINDOW(window), title != nullptr ? title : "");
}

}  // namespace

int RunMinimalWebWindow(int argc, char** argv, const char* pageFile) {
    if (!gtk_init_check(&argc, &argv)) {
        return 1;
    }
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 600, 400);
    GtkWidget* view = webkit_web_view_new();
    gtk_container_add(GTK_CONTAINER(window), view);
    g_signal_connect(view, "load-changed", G_CALLBACK(OnLoadChanged), window);
    g_signal_connect(view, "notify::title", G_CALLBACK(OnTitleChanged), window);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gchar* uri = g_filename_to_uri(pageFile, nullptr, nullptr);
    webkit_web_view_load_uri(WEBKIT_WEB_VIEW(view), uri);
    g_free(uri);
    gtk_main();
    return 0;
}
