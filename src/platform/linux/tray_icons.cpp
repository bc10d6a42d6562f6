// Tray icons: a StatusNotifierItem where a watcher runs, else an XEmbed icon
// (GtkStatusIcon) in the system tray; balloons are desktop notifications. Every icon lives
// on the UI thread; Shell_NotifyIconW copies the record and hands it there.
#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "platform/linux/desktop_notification.h"
#include "platform/linux/icon_object.h"
#include "platform/linux/status_notifier_item.h"
#include "platform/linux/wide_text.h"
#include "platform/messages.h"
#include "platform/tray.h"

G_GNUC_BEGIN_IGNORE_DEPRECATIONS

namespace {

// The original shell shows a balloon for at least 10 s and at most 30 s.
constexpr int kMinBalloonMs = 10000;
constexpr int kMaxBalloonMs = 30000;
constexpr int kFirstTraySize = 16;

struct TrayEntry {
    HWND hwnd = nullptr;
    UINT id = 0;
    UINT callbackMessage = 0;
    HICON icon = nullptr;
    std::string tip;
    GtkStatusIcon* statusIcon = nullptr;
    std::unique_ptr<platform::dbus::StatusNotifierItem> item;
    platform::dbus::DesktopNotification balloon;

    ~TrayEntry() {
        if (statusIcon != nullptr) {
            gtk_status_icon_set_visible(statusIcon, FALSE);
            g_signal_handlers_disconnect_by_data(statusIcon, this);
            g_object_unref(statusIcon);
        }
    }
    void Report(UINT mouseMessage) const {
        if (callbackMessage != 0) {
            PostMessageW(hwnd, callbackMessage, id, static_cast<LPARAM>(mouseMessage));
        }
    }
};

std::vector<std::unique_ptr<TrayEntry>> g_entries;  // UI thread only

// The record's texts, read up to their terminator or their size.
template <size_t N>
std::string TextOf(const WCHAR (&field)[N]) {
    return platform::detail::ToUtf8(std::wstring(field, wcsnlen(field, N)));
}

struct Request {
    DWORD message;
    NOTIFYICONDATAW data;
    std::string tip, info, infoTitle;
};

TrayEntry* Find(HWND hwnd, UINT id) {
    for (auto& entry : g_entries) {
        if (entry->hwnd == hwnd && entry->id == id) {
            return entry.get();
        }
    }
    return nullptr;
}

bool XEmbedTrayRunning() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        return false;
    }
    Display* x = GDK_DISPLAY_XDISPLAY(display);
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(x));
    return XGetSelectionOwner(x, XInternAtom(x, selection.c_str(), False)) != None;
}

void SetStatusIconImage(TrayEntry* entry, int size) {
    if (GdkPixbuf* image = platform::icons::PixbufAtSize(entry->icon, size)) {
        gtk_status_icon_set_from_pixbuf(entry->statusIcon, image);
        g_object_unref(image);
    }
}

gboolean OnSizeChanged(GtkStatusIcon*, gint size, gpointer data) {
    auto* entry = static_cast<TrayEntry*>(data);
    SetStatusIconImage(entry, size > 0 ? size : kFirstTraySize);
    return TRUE;
}

gboolean OnButtonPress(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
    auto* entry = static_cast<TrayEntry*>(data);
    if (event->button == 1 && event->type == GDK_BUTTON_PRESS) {
        entry->Report(WM_LBUTTONDOWN);
    } else if (event->button == 1 && event->type == GDK_2BUTTON_PRESS) {
        entry->Report(WM_LBUTTONDBLCLK);
    } else if (event->button == 3 && event->type == GDK_BUTTON_PRESS) {
        entry->Report(WM_RBUTTONDOWN);
    }
    return TRUE;
}

gboolean OnButtonRelease(GtkStatusIcon*, GdkEventButton* event, gpointer data) {
    auto* entry = static_cast<TrayEntry*>(data);
    if (event->button == 1) {
        entry->Report(WM_LBUTTONUP);
    } else if (event->button == 3) {
        entry->Report(WM_RBUTTONUP);
    }
    return TRUE;
}

// A watcher without a host would take items that nobody draws.
bool ItemsAreDrawn() {
    using platform::dbus::StatusNotifierItem;
    return StatusNotifierItem::WatcherRunning() && StatusNotifierItem::HostRegistered();
}

void ShowOnDesktop(TrayEntry* entry) {
    auto report = [entry](UINT message) { entry->Report(message); };
    if (ItemsAreDrawn() || !XEmbedTrayRunning()) {
        entry->item = platform::dbus::StatusNotifierItem::Create(report, entry->icon, entry->tip);
    }
    if (entry->item != nullptr) {
        return;
    }
    // No gtk_status_icon_set_name: its window class is the program's already, and renaming an
    // icon the tray has docked unrealizes it under the tray's feet (a Gdk critical).
    entry->statusIcon = gtk_status_icon_new();
    gtk_status_icon_set_tooltip_text(entry->statusIcon, entry->tip.c_str());
    SetStatusIconImage(entry, kFirstTraySize);
    g_signal_connect(entry->statusIcon, "size-changed", G_CALLBACK(OnSizeChanged), entry);
    g_signal_connect(entry->statusIcon, "button-press-event", G_CALLBACK(OnButtonPress), entry);
    g_signal_connect(entry->statusIcon, "button-release-event", G_CALLBACK(OnButtonRelease), entry);
    gtk_status_icon_set_visible(entry->statusIcon, TRUE);
}

void ApplyIcon(TrayEntry* entry, HICON icon) {
    entry->icon = icon;
    if (entry->item != nullptr) {
        entry->item->SetIcon(icon);
    } else if (entry->statusIcon != nullptr) {
        const int size = gtk_status_icon_get_size(entry->statusIcon);
        SetStatusIconImage(entry, size > 0 ? size : kFirstTraySize);
    }
}

void ApplyTip(TrayEntry* entry, const std::string& tip) {
    entry->tip = tip;
    if (entry->item != nullptr) {
        entry->item->SetTip(tip);
    } else if (entry->statusIcon != nullptr) {
        gtk_status_icon_set_tooltip_text(entry->statusIcon, tip.c_str());
    }
}

std::string BalloonIcon(const TrayEntry* entry, DWORD infoFlags) {
    switch (infoFlags & 0x0F) {
        case NIIF_INFO:
            return "dialog-information";
        case NIIF_WARNING:
            return "dialog-warning";
        case NIIF_ERROR:
            return "dialog-error";
        default:
            return entry->icon != nullptr
                       ? platform::icons::FileForSize(entry->icon->resourceId, 48)
                       : std::string();
    }
}

bool ApplyBalloon(TrayEntry* entry, const Request& request) {
    if (request.info.empty()) {
        entry->balloon.Close();
        return true;
    }
    const int timeout =
        std::clamp(static_cast<int>(std::min<UINT>(request.data.uTimeout, kMaxBalloonMs)),
                   kMinBalloonMs, kMaxBalloonMs);
    return entry->balloon.Show(request.infoTitle, request.info,
                               BalloonIcon(entry, request.data.dwInfoFlags), timeout);
}

bool Modify(TrayEntry* entry, const Request& request) {
    const UINT flags = request.data.uFlags;
    if ((flags & NIF_MESSAGE) != 0) {
        entry->callbackMessage = request.data.uCallbackMessage;
    }
    if ((flags & NIF_ICON) != 0) {
        ApplyIcon(entry, request.data.hIcon);
    }
    if ((flags & NIF_TIP) != 0) {
        ApplyTip(entry, request.tip);
    }
    return (flags & NIF_INFO) == 0 || ApplyBalloon(entry, request);
}

BOOL Handle(const Request& request) {
    const NOTIFYICONDATAW& data = request.data;
    TrayEntry* entry = Find(data.hWnd, data.uID);
    switch (request.message) {
        case NIM_ADD: {
            if (entry != nullptr || !platform::IsTrayAvailable()) {
                return FALSE;
            }
            auto added = std::make_unique<TrayEntry>();
            added->hwnd = data.hWnd;
            added->id = data.uID;
            entry = added.get();
            g_entries.push_back(std::move(added));
            // The fields first, so the icon appears with its image and tip.
            entry->callbackMessage = (data.uFlags & NIF_MESSAGE) != 0 ? data.uCallbackMessage : 0;
            entry->icon = (data.uFlags & NIF_ICON) != 0 ? data.hIcon : nullptr;
            entry->tip = (data.uFlags & NIF_TIP) != 0 ? request.tip : std::string();
            ShowOnDesktop(entry);
            return (data.uFlags & NIF_INFO) == 0 || ApplyBalloon(entry, request) ? TRUE : FALSE;
        }
        case NIM_MODIFY:
            return entry != nullptr && Modify(entry, request) ? TRUE : FALSE;
        case NIM_DELETE:
            if (entry == nullptr) {
                return FALSE;
            }
            g_entries.erase(std::find_if(g_entries.begin(), g_entries.end(),
                                         [entry](const auto& e) { return e.get() == entry; }));
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

BOOL Shell_NotifyIconW(DWORD dwMessage, NOTIFYICONDATAW* lpData) {
    if (lpData == nullptr) {
        return FALSE;
    }
    Request request{dwMessage, *lpData, TextOf(lpData->szTip), TextOf(lpData->szInfo),
                    TextOf(lpData->szInfoTitle)};
    BOOL result = FALSE;
    platform::SendTask(platform::GetUiThreadId(), [&] { result = Handle(request); });
    return result;
}

namespace platform {

bool IsTrayAvailable() {
    bool available = false;
    SendTask(GetUiThreadId(), [&] { available = XEmbedTrayRunning() || ItemsAreDrawn(); });
    return available;
}

UINT TrayCreatedMessage() {
    return 0;
}

namespace testing {

bool TrayIconGeometry(HWND hwnd, UINT id, RECT* rect) {
    bool found = false;
    SendTask(GetUiThreadId(), [&] {
        TrayEntry* entry = Find(hwnd, id);
        GdkRectangle area{};
        if (entry != nullptr && entry->statusIcon != nullptr &&
            gtk_status_icon_is_embedded(entry->statusIcon) &&
            gtk_status_icon_get_geometry(entry->statusIcon, nullptr, &area, nullptr)) {
            *rect = {area.x, area.y, area.x + area.width, area.y + area.height};
            found = true;
        }
    });
    return found;
}

std::string TrayIconBusName(HWND hwnd, UINT id) {
    std::string name;
    SendTask(GetUiThreadId(), [&] {
        TrayEntry* entry = Find(hwnd, id);
        if (entry != nullptr && entry->item != nullptr) {
            name = entry->item->BusName();
        }
    });
    return name;
}

}  // namespace testing
}  // namespace platform

G_GNUC_END_IGNORE_DEPRECATIONS
