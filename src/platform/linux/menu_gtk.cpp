// Pop-up menus: an HMENU is a list of items; tracking builds a GtkMenu from it on the UI
// thread and runs a nested loop until the menu closes.
#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/linux/wide_text.h"
#include "platform/menu.h"
#include "platform/messages.h"

struct HMENU__ {
    struct Item {
        UINT flags;
        UINT_PTR id;
        std::wstring text;
        HMENU submenu;
    };
    std::vector<Item> items;
    int defaultPos = -1;
};

namespace {

// The one menu being tracked (menus are modal, as on the original platform).
struct Tracking {
    HMENU root = nullptr;
    GtkWidget* menu = nullptr;
    UINT_PTR chosen = 0;
    bool closed = false;
};
Tracking* g_tracking = nullptr;

// The original's "&Open" marks the mnemonic with '&' ("&&" is an ampersand); GTK uses '_'.
std::string MnemonicText(const std::wstring& text) {
    std::wstring converted;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            converted += text[i + 1] == L'&' ? L"&" : L"_";
            converted += text[i + 1] == L'&' ? L"" : std::wstring(1, text[i + 1]);
            ++i;
        } else {
            converted += text[i] == L'_' ? L"__" : std::wstring(1, text[i]);
        }
    }
    return platform::detail::ToUtf8(converted);
}

void OnItemActivate(GtkMenuItem*, gpointer id) {
    if (g_tracking != nullptr) {
        g_tracking->chosen = reinterpret_cast<UINT_PTR>(id);
    }
}

// GTK deactivates the menu before it activates the chosen item, so the end is noted once
// the loop is idle again.
void OnMenuDeactivate(GtkMenuShell*, gpointer) {
    g_idle_add(
        [](gpointer) -> gboolean {
            if (g_tracking != nullptr) {
                g_tracking->closed = true;
            }
            return G_SOURCE_REMOVE;
        },
        nullptr);
}

// GTK takes the device and time of its grab from the event that opened the menu. A menu
// opened from a posted message (the tray's click) comes with none: one is made up for the
// pointer, as the click would have been.
GdkEvent* NewTriggerEvent() {
    if (GdkEvent* current = gtk_get_current_event()) {
        return current;
    }
    GdkEvent* event = gdk_event_new(GDK_BUTTON_PRESS);
    event->button.window = GDK_WINDOW(g_object_ref(gdk_get_default_root_window()));
    event->button.time = gtk_get_current_event_time();
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    if (GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr) {
        gdk_event_set_device(event, pointer);
    }
    return event;
}

GtkWidget* BuildMenu(HMENU hMenu) {
    GtkWidget* menu = gtk_menu_new();
    // Items have no check marks or images: no room kept for them.
    gtk_menu_set_reserve_toggle_size(GTK_MENU(menu), FALSE);
    for (size_t pos = 0; pos < hMenu->items.size(); ++pos) {
        const HMENU__::Item& item = hMenu->items[pos];
        if ((item.flags & MF_SEPARATOR) != 0) {
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), gtk_separator_menu_item_new());
            continue;
        }
        GtkWidget* widget = gtk_menu_item_new_with_mnemonic(MnemonicText(item.text).c_str());
        if (static_cast<int>(pos) == hMenu->defaultPos) {
            // The default item is drawn bold.
            GtkWidget* label = gtk_bin_get_child(GTK_BIN(widget));
            gchar* escaped = g_markup_escape_text(MnemonicText(item.text).c_str(), -1);
            gtk_label_set_markup_with_mnemonic(GTK_LABEL(label),
                                               (std::string("<b>") + escaped + "</b>").c_str());
            g_free(escaped);
        }
        if ((item.flags & (MF_GRAYED | MF_DISABLED)) != 0) {
            gtk_widget_set_sensitive(widget, FALSE);
        }
        if ((item.flags & MF_POPUP) != 0 && item.submenu != nullptr) {
            gtk_menu_item_set_submenu(GTK_MENU_ITEM(widget), BuildMenu(item.submenu));
        } else {
            g_signal_connect(widget, "activate", G_CALLBACK(OnItemActivate),
                             reinterpret_cast<gpointer>(item.id));
        }
        gtk_menu_shell_append(GTK_MENU_SHELL(menu), widget);
    }
    gtk_widget_show_all(menu);
    return menu;
}

int FindItem(HMENU hMenu, UINT uItem, UINT fByPos) {
    if (fByPos != 0) {
        return uItem < hMenu->items.size() ? static_cast<int>(uItem) : -1;
    }
    for (size_t pos = 0; pos < hMenu->items.size(); ++pos) {
        const auto& item = hMenu->items[pos];
        if ((item.flags & (MF_POPUP | MF_SEPARATOR)) == 0 && item.id == uItem) {
            return static_cast<int>(pos);
        }
    }
    return -1;
}

}  // namespace

HMENU CreateMenu() {
    return new HMENU__;
}

HMENU CreatePopupMenu() {
    return new HMENU__;
}

BOOL AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem) {
    if (hMenu == nullptr) {
        return FALSE;
    }
    HMENU submenu = (uFlags & MF_POPUP) != 0 ? reinterpret_cast<HMENU>(uIDNewItem) : nullptr;
    if ((uFlags & MF_POPUP) != 0 && submenu == nullptr) {
        return FALSE;
    }
    hMenu->items.push_back({uFlags, submenu != nullptr ? 0 : uIDNewItem,
                            lpNewItem != nullptr ? lpNewItem : L"", submenu});
    return TRUE;
}

HMENU GetSubMenu(HMENU hMenu, int nPos) {
    if (hMenu == nullptr || nPos < 0 || nPos >= static_cast<int>(hMenu->items.size())) {
        return nullptr;
    }
    return hMenu->items[nPos].submenu;
}

int GetMenuItemCount(HMENU hMenu) {
    return hMenu != nullptr ? static_cast<int>(hMenu->items.size()) : -1;
}

BOOL SetMenuDefaultItem(HMENU hMenu, UINT uItem, UINT fByPos) {
    if (hMenu == nullptr) {
        return FALSE;
    }
    if (uItem == static_cast<UINT>(-1)) {
        hMenu->defaultPos = -1;
        return TRUE;
    }
    const int pos = FindItem(hMenu, uItem, fByPos);
    if (pos < 0) {
        return FALSE;
    }
    hMenu->defaultPos = pos;
    return TRUE;
}

BOOL TrackPopupMenu(HMENU hMenu, UINT uFlags, int x, int y, int, HWND hWnd, const RECT*) {
    if (hMenu == nullptr || g_tracking != nullptr || !platform::IsUiThread() ||
        gdk_display_get_default() == nullptr) {
        return FALSE;
    }
    Tracking tracking;
    tracking.root = hMenu;
    tracking.menu = BuildMenu(hMenu);
    g_tracking = &tracking;
    g_signal_connect(tracking.menu, "deactivate", G_CALLBACK(OnMenuDeactivate), nullptr);
    const GdkRectangle at{x, y, 1, 1};
    GdkEvent* trigger = NewTriggerEvent();
    gtk_menu_popup_at_rect(GTK_MENU(tracking.menu), gdk_get_default_root_window(), &at,
                           GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, trigger);
    gdk_event_free(trigger);
    // A menu that could not take the pointer is not shown, and nothing would close it.
    if (gtk_widget_get_visible(tracking.menu)) {
        platform::RunModalLoop([&] { return tracking.closed; });
    }
    g_tracking = nullptr;
    gtk_widget_destroy(tracking.menu);
    const UINT_PTR chosen = tracking.chosen;
    if ((uFlags & TPM_RETURNCMD) != 0) {
        return static_cast<BOOL>(chosen);
    }
    if (chosen == 0) {
        return FALSE;
    }
    PostMessageW(hWnd, WM_COMMAND, static_cast<WPARAM>(chosen), 0);
    return TRUE;
}

BOOL TrackPopupMenuEx(HMENU hMenu, UINT uFlags, int x, int y, HWND hwnd, TPMPARAMS*) {
    return TrackPopupMenu(hMenu, uFlags, x, y, 0, hwnd, nullptr);
}

BOOL DestroyMenu(HMENU hMenu) {
    if (hMenu == nullptr) {
        return FALSE;
    }
    if (g_tracking != nullptr && g_tracking->root == hMenu) {
        gtk_menu_shell_cancel(GTK_MENU_SHELL(g_tracking->menu));
        g_tracking->root = nullptr;
    }
    for (const auto& item : hMenu->items) {
        if (item.submenu != nullptr) {
            DestroyMenu(item.submenu);
        }
    }
    delete hMenu;
    return TRUE;
}

namespace platform::testing {

std::vector<std::wstring> OpenMenuItems() {
    std::vector<std::wstring> texts;
    if (g_tracking == nullptr) {
        return texts;
    }
    GList* children = gtk_container_get_children(GTK_CONTAINER(g_tracking->menu));
    for (GList* child = children; child != nullptr; child = child->next) {
        GtkWidget* label = gtk_bin_get_child(GTK_BIN(child->data));
        texts.push_back(label != nullptr && GTK_IS_LABEL(label)
                            ? platform::detail::FromUtf8(gtk_label_get_label(GTK_LABEL(label)))
                            : std::wstring());
    }
    g_list_free(children);
    return texts;
}

bool OpenMenuItemRect(int nPos, RECT* rect) {
    if (g_tracking == nullptr || !gtk_widget_get_mapped(g_tracking->menu)) {
        return false;
    }
    GList* children = gtk_container_get_children(GTK_CONTAINER(g_tracking->menu));
    GtkWidget* item = static_cast<GtkWidget*>(g_list_nth_data(children, nPos));
    g_list_free(children);
    GtkWidget* top = gtk_widget_get_toplevel(g_tracking->menu);
    int x = 0, y = 0, originX = 0, originY = 0;
    if (item == nullptr || gtk_widget_get_window(top) == nullptr ||
        !gtk_widget_translate_coordinates(item, top, 0, 0, &x, &y)) {
        return false;
    }
    gdk_window_get_origin(gtk_widget_get_window(top), &originX, &originY);
    *rect = {originX + x, originY + y, originX + x + gtk_widget_get_allocated_width(item),
             originY + y + gtk_widget_get_allocated_height(item)};
    return true;
}

void CloseOpenMenu() {
    if (g_tracking != nullptr) {
        gtk_menu_shell_cancel(GTK_MENU_SHELL(g_tracking->menu));
    }
}

}  // namespace platform::testing
