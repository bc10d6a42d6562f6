#include "platform/linux/status_notifier_item.h"

#include <gio/gio.h>
#include <unistd.h>

#include <atomic>

#include "platform/linux/icon_object.h"
#include "platform/messages.h"

namespace platform::dbus {
namespace {

constexpr const char* kWatcher = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr int kCallTimeoutMs = 2000;
// Hosts draw items from 16 to 48 pixels; each picks the image nearest its size.
constexpr int kPixmapSizes[] = {16, 22, 24, 32, 48};

constexpr const char* kIntrospection = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

GDBusInterfaceInfo* ItemInterfaceInfo() {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    return node != nullptr ? node->interfaces[0] : nullptr;
}

GDBusConnection* SessionBus() {
    static GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    return bus;
}

// One image as the item protocol wants it: ARGB32 pixels in network byte order.
GVariant* PixmapOf(GdkPixbuf* pixbuf) {
    const int width = gdk_pixbuf_get_width(pixbuf);
    const int height = gdk_pixbuf_get_height(pixbuf);
    const int channels = gdk_pixbuf_get_n_channels(pixbuf);
    const int stride = gdk_pixbuf_get_rowstride(pixbuf);
    const guchar* pixels = gdk_pixbuf_read_pixels(pixbuf);
    auto* argb = static_cast<guchar*>(g_malloc(static_cast<gsize>(width) * height * 4));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const guchar* in = pixels + y * stride + x * channels;
            guchar* out = argb + (static_cast<size_t>(y) * width + x) * 4;
            out[0] = channels == 4 ? in[3] : 0xFF;
            out[1] = in[0];
            out[2] = in[1];
            out[3] = in[2];
        }
    }
    GVariant* bytes = g_variant_new_from_data(
        G_VARIANT_TYPE("ay"), argb, static_cast<gsize>(width) * height * 4, TRUE, g_free, argb);
    return g_variant_new("(ii@ay)", width, height, bytes);
}

GVariant* PixmapsOf(HICON icon) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    for (int size : kPixmapSizes) {
        if (GdkPixbuf* image = platform::icons::PixbufAtSize(icon, size)) {
            g_variant_builder_add_value(&builder, PixmapOf(image));
            g_object_unref(image);
        }
    }
    return g_variant_builder_end(&builder);
}

bool CallSync(const char* service, const char* path, const char* interface, const char* method,
              GVariant* args, GVariant** reply) {
    GVariant* answer =
        g_dbus_connection_call_sync(SessionBus(), service, path, interface, method, args, nullptr,
                                    G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr);
    if (reply != nullptr) {
        *reply = answer;
    } else if (answer != nullptr) {
        g_variant_unref(answer);
    }
    return answer != nullptr;
}

}  // namespace

bool StatusNotifierItem::WatcherRunning() {
    if (SessionBus() == nullptr) {
        return false;
    }
    GVariant* reply = nullptr;
    gboolean owned = FALSE;
    if (CallSync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                 "NameHasOwner", g_variant_new("(s)", kWatcher), &reply)) {
        g_variant_get(reply, "(b)", &owned);
        g_variant_unref(reply);
    }
    return owned != FALSE;
}

std::unique_ptr<StatusNotifierItem> StatusNotifierItem::Create(ClickHandler onClick, HICON icon,
                                                               const std::string& tip) {
    if (!WatcherRunning()) {
        return nullptr;
    }
    std::unique_ptr<StatusNotifierItem> item(new StatusNotifierItem(std::move(onClick), icon, tip));
    return item->Export() ? std::move(item) : nullptr;
}

StatusNotifierItem::StatusNotifierItem(ClickHandler onClick, HICON icon, const std::string& tip)
    : m_onClick(std::move(onClick)), m_hIcon(icon), m_strTip(tip) {}

bool StatusNotifierItem::Export() {
    static std::atomic<int> counter{0};
    m_pBus = SessionBus();
    m_strBusName =
        "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    static const GDBusInterfaceVTable vtable = {
        &StatusNotifierItem::OnMethodCall, &StatusNotifierItem::OnGetProperty, nullptr, {}};
    // One object per item: each item has a bus name of its own, the path is the same.
    m_nObjectId = g_dbus_connection_register_object(m_pBus, kItemPath, ItemInterfaceInfo(), &vtable,
                                                    this, nullptr, nullptr);
    GVariant* reply = nullptr;
    guint32 owner = 0;
    if (m_nObjectId != 0 &&
        CallSync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                 "RequestName", g_variant_new("(su)", m_strBusName.c_str(), 4u), &reply)) {
        g_variant_get(reply, "(u)", &owner);
        g_variant_unref(reply);
    }
    // 1: the primary owner of the name.
    return owner == 1 && CallSync(kWatcher, kWatcherPath, kWatcher, "RegisterStatusNotifierItem",
                                  g_variant_new("(s)", m_strBusName.c_str()), nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
    if (m_nObjectId != 0) {
        g_dbus_connection_unregister_object(m_pBus, m_nObjectId);
    }
    // The watcher forgets an item whose name leaves the bus.
    g_dbus_connection_call(m_pBus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                           "org.freedesktop.DBus", "ReleaseName",
                           g_variant_new("(s)", m_strBusName.c_str()), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, nullptr, nullptr, nullptr);
}

void StatusNotifierItem::SetIcon(HICON icon) {
    m_hIcon = icon;
    EmitSignal("NewIcon");
}

void StatusNotifierItem::SetTip(const std::string& tip) {
    m_strTip = tip;
    EmitSignal("NewTitle");
    EmitSignal("NewToolTip");
}

void StatusNotifierItem::EmitSignal(const char* name) {
    g_dbus_connection_emit_signal(m_pBus, nullptr, kItemPath, kItemInterface, name, nullptr,
                                  nullptr);
}

void StatusNotifierItem::OnMethodCall(GDBusConnection*, const char*, const char*, const char*,
                                      const char* method, GVariant*,
                                      GDBusMethodInvocation* invocation, void* data) {
    auto* self = static_cast<StatusNotifierItem*>(data);
    UINT message = 0;
    if (g_strcmp0(method, "Activate") == 0) {
        message = WM_LBUTTONDBLCLK;
    } else if (g_strcmp0(method, "ContextMenu") == 0) {
        message = WM_RBUTTONUP;
    }
    // Answer first: the handler may open a menu, and the host must not wait for it.
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (message != 0) {
        self->m_onClick(message);
    }
}

GVariant* StatusNotifierItem::OnGetProperty(GDBusConnection*, const char*, const char*, const char*,
                                            const char* property, GError**, void* data) {
    auto* self = static_cast<StatusNotifierItem*>(data);
    const std::string name = property;
    if (name == "Category") {
        return g_variant_new_string("ApplicationStatus");
    }
    if (name == "Id") {
        return g_variant_new_string(g_get_prgname() != nullptr ? g_get_prgname() : "");
    }
    if (name == "Title") {
        return g_variant_new_string(self->m_strTip.c_str());
    }
    if (name == "Status") {
        return g_variant_new_string("Active");
    }
    if (name == "WindowId") {
        return g_variant_new_int32(0);
    }
    if (name == "IconName") {
        return g_variant_new_string("");
    }
    if (name == "IconPixmap") {
        return PixmapsOf(self->m_hIcon);
    }
    if (name == "ToolTip") {
        return g_variant_new("(s@a(iiay)ss)", "", PixmapsOf(nullptr), self->m_strTip.c_str(), "");
    }
    if (name == "ItemIsMenu") {
        return g_variant_new_boolean(FALSE);
    }
    return nullptr;
}

}  // namespace platform::dbus
