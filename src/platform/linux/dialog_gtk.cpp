// CDialog's widgets with GTK 3: a GtkWindow holding a GtkFixed, controls placed at the
// template's rectangles converted from dialog units.
#include <algorithm>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "platform/dialog_native.h"
#include "platform/linux/dialog_gtk.h"
#include "platform/linux/window_decorations.h"
#include "platform/messages.h"

struct CDialog::Native {
    HWND owner = nullptr;
    // Pixels per 4 horizontal and per 8 vertical dialog units: the dialog font's base units.
    int baseX = 6;
    int baseY = 13;
    GtkWidget* window = nullptr;
    std::map<int, GtkWidget*> items;
    // Commands of buttons, by widget.
    std::map<GtkWidget*, int> buttonIds;
};

namespace {

using NativePtr = std::shared_ptr<CDialog::Native>;

int DluToPixelsX(const CDialog::Native& native, LONG dlu) {
    return static_cast<int>(dlu * native.baseX / 4);
}
int DluToPixelsY(const CDialog::Native& native, LONG dlu) {
    return static_cast<int>(dlu * native.baseY / 8);
}

// The original takes the base units from the dialog's font: the average width of the Latin
// letters and the font's height. Here they come from the font the controls are drawn with,
// and the height from its Chinese fallback too, which is taller: every text the template sized
// for one or two lines then gets its lines.
void MeasureBaseUnits(CDialog::Native& native, GtkWidget* window) {
    PangoLayout* layout = gtk_widget_create_pango_layout(
        window, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    pango_layout_set_text(layout, "\u66F4\u65B0\u63D0\u793A", -1);
    int chineseWidth = 0, chineseHeight = 0;
    pango_layout_get_pixel_size(layout, &chineseWidth, &chineseHeight);
    g_object_unref(layout);
    if (width > 0 && height > 0) {
        native.baseX = (width / 26 + 1) / 2;
        native.baseY = std::max(height, chineseHeight);
    }
}

std::string ToUtf8(const std::wstring& text) {
    gchar* utf8 = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(text.c_str()),
                                 static_cast<glong>(text.size()), nullptr, nullptr, nullptr);
    std::string result = utf8 != nullptr ? utf8 : "";
    g_free(utf8);
    return result;
}

struct NativeDirectory {
    std::mutex mutex;
    std::map<HWND, std::weak_ptr<CDialog::Native>> natives;
};

NativeDirectory& Natives() {
    static NativeDirectory directory;
    return directory;
}

void RunOnUi(std::function<void()> task) {
    if (platform::IsUiThread()) {
        task();
    } else {
        platform::PostTask(platform::GetUiThreadId(), std::move(task));
    }
}

void OnButtonClicked(GtkButton* button, gpointer data) {
    auto* native = static_cast<CDialog::Native*>(data);
    auto it = native->buttonIds.find(GTK_WIDGET(button));
    if (it != native->buttonIds.end()) {
        PostMessageW(native->owner, WM_COMMAND, static_cast<WPARAM>(it->second), 0);
    }
}

gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer data) {
    // The close box is the cancel command; the owner decides whether the dialog goes.
    auto* native = static_cast<CDialog::Native*>(data);
    PostMessageW(native->owner, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}

gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer data) {
    auto* native = static_cast<CDialog::Native*>(data);
    switch (event->keyval) {
        case GDK_KEY_Escape:
            PostMessageW(native->owner, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
            PostMessageW(native->owner, WM_COMMAND, IDOK, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

GtkWidget* MakeItem(CDialog::Native& native, const DialogItemTemplate& item) {
    const std::string text = ToUtf8(item.text);
    switch (item.kind) {
        case DialogItemKind::PushButton:
        case DialogItemKind::DefPushButton: {
            GtkWidget* button = gtk_button_new_with_label(text.c_str());
            native.buttonIds[button] = item.id;
            g_signal_connect(button, "clicked", G_CALLBACK(OnButtonClicked), &native);
            if (item.kind == DialogItemKind::DefPushButton) {
                gtk_widget_set_can_default(button, TRUE);
            }
            return button;
        }
        case DialogItemKind::ProgressBar: {
            GtkWidget* bar = gtk_progress_bar_new();
            // The theme's thin bar would be lost in a control of this height: fill it.
            const int height = DluToPixelsY(native, item.rect.bottom) - 4;
            const std::string css = "progressbar trough, progressbar progress { min-height: " +
                                    std::to_string(height > 1 ? height : 1) + "px; }";
            GtkCssProvider* provider = gtk_css_provider_new();
            gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
            gtk_style_context_add_provider(gtk_widget_get_style_context(bar),
                                           GTK_STYLE_PROVIDER(provider),
                                           GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
            g_object_unref(provider);
            return bar;
        }
        case DialogItemKind::NotesEdit: {
            GtkWidget* view = gtk_text_view_new();
            gtk_text_view_set_editable(GTK_TEXT_VIEW(view), FALSE);
            gtk_text_view_set_cursor_visible(GTK_TEXT_VIEW(view), FALSE);
            gtk_text_view_set_wrap_mode(GTK_TEXT_VIEW(view), GTK_WRAP_WORD_CHAR);
            gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), text.c_str(),
                                     -1);
            return view;
        }
        case DialogItemKind::StaticText: {
            GtkWidget* label = gtk_label_new(text.c_str());
            gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
            gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
            gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
            gtk_label_set_line_wrap_mode(GTK_LABEL(label), PANGO_WRAP_WORD_CHAR);
            return label;
        }
        case DialogItemKind::GroupBox:
            return gtk_frame_new(text.c_str());
    }
    return nullptr;
}

void Place(const CDialog::Native& native, GtkWidget* fixed, GtkWidget* widget,
           const DialogItemTemplate& item) {
    const int width = DluToPixelsX(native, item.rect.right);
    const int height = DluToPixelsY(native, item.rect.bottom);
    gtk_widget_set_size_request(widget, width, height);
    gtk_fixed_put(GTK_FIXED(fixed), widget, DluToPixelsX(native, item.rect.left),
                  DluToPixelsY(native, item.rect.top));
}

void Build(CDialog::Native& native, const DialogTemplate& dialogTemplate) {
    // Without a display there is nothing to build on: the dialog cannot be created.
    if (gdk_display_get_default() == nullptr) {
        return;
    }
    native.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(native.window);
    gtk_window_set_title(window, ToUtf8(dialogTemplate.caption).c_str());
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_DIALOG);
    platform::gtk::ApplyWindowFunctions(native.window, dialogTemplate.style);
    MeasureBaseUnits(native, native.window);
    GtkWidget* fixed = gtk_fixed_new();
    gtk_widget_set_size_request(fixed, DluToPixelsX(native, dialogTemplate.size.cx),
                                DluToPixelsY(native, dialogTemplate.size.cy));
    gtk_container_add(GTK_CONTAINER(window), fixed);

    // Group boxes first, so the controls inside them are drawn over their frames.
    for (int pass = 0; pass < 2; ++pass) {
        for (const DialogItemTemplate& item : dialogTemplate.items) {
            if ((item.kind == DialogItemKind::GroupBox) != (pass == 0)) {
                continue;
            }
            GtkWidget* widget = MakeItem(native, item);
            GtkWidget* placed = widget;
            if (item.kind == DialogItemKind::NotesEdit) {
                placed = gtk_scrolled_window_new(nullptr, nullptr);
                gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(placed), GTK_POLICY_NEVER,
                                               GTK_POLICY_ALWAYS);
                gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(placed), GTK_SHADOW_IN);
                gtk_container_add(GTK_CONTAINER(placed), widget);
            } else if (item.kind == DialogItemKind::StaticText) {
                // A wrapping label asks for the height of one character per line; held in a
                // box of the template's size it wraps to that width instead.
                placed = gtk_scrolled_window_new(nullptr, nullptr);
                gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(placed), GTK_POLICY_EXTERNAL,
                                               GTK_POLICY_EXTERNAL);
                gtk_container_add(GTK_CONTAINER(placed), widget);
            }
            Place(native, fixed, placed, item);
            gtk_widget_set_sensitive(widget, (item.style & WS_DISABLED) == 0);
            native.items[item.id] = widget;
            if (item.kind == DialogItemKind::DefPushButton) {
                gtk_window_set_default(window, widget);
            }
        }
    }
    g_signal_connect(native.window, "delete-event", G_CALLBACK(OnDeleteEvent), &native);
    g_signal_connect(native.window, "key-press-event", G_CALLBACK(OnKeyPress), &native);
    gtk_widget_show_all(fixed);
}

GtkWidget* Item(const NativePtr& native, int id) {
    auto it = native->items.find(id);
    return it != native->items.end() ? it->second : nullptr;
}

}  // namespace

namespace platform::dialog_native {

std::shared_ptr<CDialog::Native> Create(const DialogTemplate& dialogTemplate, HWND owner) {
    auto native = std::make_shared<CDialog::Native>();
    native->owner = owner;
    const bool ran = platform::SendTask(
        platform::GetUiThreadId(), [&native, &dialogTemplate] { Build(*native, dialogTemplate); });
    if (!ran || native->window == nullptr) {
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(Natives().mutex);
    Natives().natives[owner] = native;
    return native;
}

void Destroy(const NativePtr& native) {
    {
        std::lock_guard<std::mutex> lock(Natives().mutex);
        Natives().natives.erase(native->owner);
    }
    // The task holds the widgets' record until they are gone.
    RunOnUi([native] {
        if (native->window != nullptr) {
            gtk_widget_destroy(native->window);
            native->window = nullptr;
        }
        native->items.clear();
        native->buttonIds.clear();
    });
}

void SetTitle(const NativePtr& native, const std::wstring& title) {
    RunOnUi([native, title] {
        if (native->window != nullptr) {
            gtk_window_set_title(GTK_WINDOW(native->window), ToUtf8(title).c_str());
        }
    });
}

void Show(const NativePtr& native, bool visible) {
    RunOnUi([native, visible] {
        if (native->window == nullptr) {
            return;
        }
        if (visible) {
            gtk_widget_show(native->window);
        } else {
            gtk_widget_hide(native->window);
        }
    });
}

void Center(const NativePtr& native) {
    RunOnUi([native] {
        if (native->window == nullptr) {
            return;
        }
        GdkDisplay* display = gdk_display_get_default();
        GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
        if (monitor == nullptr) {
            monitor = gdk_display_get_monitor(display, 0);
        }
        if (monitor == nullptr) {
            gtk_window_set_position(GTK_WINDOW(native->window), GTK_WIN_POS_CENTER);
            return;
        }
        GdkRectangle area;
        gdk_monitor_get_workarea(monitor, &area);
        GtkRequisition size;
        gtk_widget_get_preferred_size(native->window, nullptr, &size);
        gtk_window_move(GTK_WINDOW(native->window), area.x + (area.width - size.width) / 2,
                        area.y + (area.height - size.height) / 2);
    });
}

void SetTopmost(const NativePtr& native, bool topmost) {
    RunOnUi([native, topmost] {
        if (native->window != nullptr) {
            gtk_window_set_keep_above(GTK_WINDOW(native->window), topmost);
        }
    });
}

void Present(const NativePtr& native) {
    RunOnUi([native] {
        if (native->window != nullptr) {
            gtk_widget_show(native->window);
            gtk_window_present(GTK_WINDOW(native->window));
        }
    });
}

void SetItemText(const NativePtr& native, int id, const std::wstring& text) {
    RunOnUi([native, id, text] {
        GtkWidget* widget = Item(native, id);
        const std::string utf8 = ToUtf8(text);
        if (widget == nullptr) {
            return;
        }
        if (GTK_IS_BUTTON(widget)) {
            gtk_button_set_label(GTK_BUTTON(widget), utf8.c_str());
        } else if (GTK_IS_TEXT_VIEW(widget)) {
            gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget)), utf8.c_str(),
                                     -1);
        } else if (GTK_IS_LABEL(widget)) {
            gtk_label_set_text(GTK_LABEL(widget), utf8.c_str());
        } else if (GTK_IS_FRAME(widget)) {
            gtk_frame_set_label(GTK_FRAME(widget), utf8.c_str());
        }
    });
}

void EnableItem(const NativePtr& native, int id, bool enabled) {
    RunOnUi([native, id, enabled] {
        if (GtkWidget* widget = Item(native, id)) {
            gtk_widget_set_sensitive(widget, enabled);
        }
    });
}

void SetProgress(const NativePtr& native, int id, int lower, int upper, int pos) {
    RunOnUi([native, id, lower, upper, pos] {
        GtkWidget* widget = Item(native, id);
        if (widget == nullptr || !GTK_IS_PROGRESS_BAR(widget) || upper <= lower) {
            return;
        }
        gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(widget),
                                      static_cast<double>(pos - lower) / (upper - lower));
    });
}

}  // namespace platform::dialog_native

namespace platform::gtk {

GtkWidget* GetDialogWidget(HWND dialog, int id) {
    NativePtr native;
    {
        std::lock_guard<std::mutex> lock(Natives().mutex);
        auto it = Natives().natives.find(dialog);
        if (it != Natives().natives.end()) {
            native = it->second.lock();
        }
    }
    if (!native) {
        return nullptr;
    }
    return id == 0 ? native->window : Item(native, id);
}

}  // namespace platform::gtk
