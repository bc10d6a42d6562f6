// The tray icon in tint2's system tray, its clicks, its tip, its balloon in dunst, and a
// StatusNotifierItem reached through a watcher on the session bus.
#include "window_test_support.h"

#include <gio/gio.h>

#include <cstring>
#include <cwchar>
#include <thread>

#include "platform/tray.h"

using guitest::kWaitMs;
using testsupport::RecordingWnd;

namespace {

constexpr UINT kCallback = WM_USER + 1;
constexpr UINT kIconId = 1;

HICON TrayImage() {
    return reinterpret_cast<HICON>(
        LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(133), IMAGE_ICON, 16, 16, LR_SHARED));
}

NOTIFYICONDATAW Record(HWND hwnd, UINT flags) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = kIconId;
    data.uFlags = flags;
    return data;
}

BOOL AddIcon(HWND hwnd, const wchar_t* tip) {
    NOTIFYICONDATAW data = Record(hwnd, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = kCallback;
    data.hIcon = TrayImage();
    std::wcsncpy(data.szTip, tip, std::size(data.szTip) - 1);
    return Shell_NotifyIconW(NIM_ADD, &data);
}

BOOL RemoveIcon(HWND hwnd) {
    NOTIFYICONDATAW data = Record(hwnd, NIF_ICON);
    return Shell_NotifyIconW(NIM_DELETE, &data);
}

BOOL ShowBalloon(HWND hwnd, const wchar_t* text, const wchar_t* title) {
    NOTIFYICONDATAW data = Record(hwnd, NIF_INFO);
    std::wcsncpy(data.szInfo, text, std::size(data.szInfo) - 1);
    std::wcsncpy(data.szInfoTitle, title, std::size(data.szInfoTitle) - 1);
    data.uTimeout = 500;
    return Shell_NotifyIconW(NIM_MODIFY, &data);
}

// The mouse messages the window got from the icon, in order.
std::vector<LPARAM> Clicks(RecordingWnd& wnd) {
    std::vector<LPARAM> clicks;
    for (const auto& received : wnd.All()) {
        if (received.message == kCallback) {
            EXPECT_EQ(kIconId, received.wParam) << "wParam must be the icon id";
            clicks.push_back(received.lParam);
        }
    }
    return clicks;
}

bool Contains(const std::vector<LPARAM>& clicks, LPARAM message) {
    return std::find(clicks.begin(), clicks.end(), message) != clicks.end();
}

bool WaitForEmbedded(HWND hwnd, RECT* where) {
    return PumpUntil(
        [&] {
            return platform::testing::TrayIconGeometry(hwnd, kIconId, where) &&
                   where->right - where->left > 0;
        },
        kWaitMs);
}

std::string Displayed() {
    return RunCommand("dunstctl count displayed");
}

}  // namespace

TEST(TrayIcon, ShowsInTheSystemTrayAndReportsClicks) {
    ASSERT_TRUE(platform::IsTrayAvailable()) << "tint2's tray should be running";
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    ASSERT_TRUE(AddIcon(wnd.m_hWnd, L"Quorvi"));
    EXPECT_FALSE(AddIcon(wnd.m_hWnd, L"Quorvi")) << "the same icon twice";
    RECT icon{};
    ASSERT_TRUE(WaitForEmbedded(wnd.m_hWnd, &icon)) << "the icon did not reach the tray";
    // The tray is in the panel at the bottom of the screen.
    EXPECT_GT(icon.top, 700);
    TakeScreenshot("tray-icon");

    const std::string x = std::to_string((icon.left + icon.right) / 2);
    const std::string y = std::to_string((icon.top + icon.bottom) / 2);
    RunCommand("xdotool mousemove " + x + " " + y + " click 1");
    EXPECT_TRUE(PumpUntil([&] { return Contains(Clicks(wnd), WM_LBUTTONDOWN); }, kWaitMs))
        << "a left click did not arrive";
    EXPECT_FALSE(Contains(Clicks(wnd), WM_LBUTTONDBLCLK)) << "one click is no double click";

    RunCommand("xdotool click --repeat 2 --delay 80 1");
    EXPECT_TRUE(PumpUntil([&] { return Contains(Clicks(wnd), WM_LBUTTONDBLCLK); }, kWaitMs))
        << "a double click did not arrive";

    RunCommand("xdotool click 3");
    EXPECT_TRUE(PumpUntil([&] { return Contains(Clicks(wnd), WM_RBUTTONUP); }, kWaitMs))
        << "a right click did not arrive";

    EXPECT_TRUE(RemoveIcon(wnd.m_hWnd));
    EXPECT_FALSE(platform::testing::TrayIconGeometry(wnd.m_hWnd, kIconId, &icon));
    EXPECT_FALSE(RemoveIcon(wnd.m_hWnd)) << "removed twice";
}

TEST(TrayIcon, ChangesItsTipAndOnlyKnownIconsChange) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    NOTIFYICONDATAW tip = Record(wnd.m_hWnd, NIF_TIP);
    std::wcsncpy(tip.szTip, L"Quorvi - 每日推荐", std::size(tip.szTip) - 1);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &tip)) << "an icon that was never added";
    ASSERT_TRUE(AddIcon(wnd.m_hWnd, L"Quorvi"));
    RECT icon{};
    ASSERT_TRUE(WaitForEmbedded(wnd.m_hWnd, &icon));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &tip));
    // A tip that fills the field without a terminator is cut at the field's end.
    std::fill(std::begin(tip.szTip), std::end(tip.szTip), L'x');
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &tip));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, nullptr));
    EXPECT_TRUE(RemoveIcon(wnd.m_hWnd));
}

TEST(TrayIcon, BalloonBecomesADesktopNotification) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    RunCommand("dunstctl close-all");
    RunCommand("dunstctl history-clear");
    ASSERT_TRUE(AddIcon(wnd.m_hWnd, L"Quorvi"));
    ASSERT_TRUE(ShowBalloon(wnd.m_hWnd, L"您可以双击该图标打开Quorvi", L"Quorvi"));
    ASSERT_TRUE(PumpUntil([] { return Displayed() == "1\n"; }, kWaitMs))
        << "dunst shows no notification";
    TakeScreenshot("tray-balloon");
    // Its time-out of 500 ms is raised to the original shell's minimum, so it stays readable.
    PumpFor(1500);
    EXPECT_EQ("1\n", Displayed()) << "the balloon vanished before a person could read it";

    // A second balloon replaces the first rather than stacking up.
    ASSERT_TRUE(ShowBalloon(wnd.m_hWnd, L"second text", L"Quorvi"));
    PumpFor(500);
    EXPECT_EQ("1\n", Displayed());
    RunCommand("dunstctl close-all");
    const std::string history = RunCommand("dunstctl history");
    EXPECT_NE(std::string::npos, history.find("second text")) << history;
    EXPECT_NE(std::string::npos, history.find("Quorvi")) << history;

    // An empty text takes the balloon away; so does removing the icon.
    ASSERT_TRUE(ShowBalloon(wnd.m_hWnd, L"third text", L"Quorvi"));
    ASSERT_TRUE(PumpUntil([] { return Displayed() == "1\n"; }, kWaitMs));
    ASSERT_TRUE(ShowBalloon(wnd.m_hWnd, L"", L""));
    EXPECT_TRUE(PumpUntil([] { return Displayed() == "0\n"; }, kWaitMs)) << "not taken away";
    ASSERT_TRUE(ShowBalloon(wnd.m_hWnd, L"fourth text", L"Quorvi"));
    ASSERT_TRUE(PumpUntil([] { return Displayed() == "1\n"; }, kWaitMs));
    EXPECT_TRUE(RemoveIcon(wnd.m_hWnd));
    EXPECT_TRUE(PumpUntil([] { return Displayed() == "0\n"; }, kWaitMs))
        << "the balloon outlived its icon";
}

namespace {

// A StatusNotifierWatcher on a connection and thread of its own, as a desktop's panel runs
// one: it records the items that register and calls them as a host does.
class FakeWatcher {
public:
    FakeWatcher() {
        m_thread = std::thread([this] { Run(); });
        std::unique_lock lock(m_mutex);
        m_ready.wait_for(lock, std::chrono::seconds(5), [this] { return m_bReady; });
    }
    ~FakeWatcher() {
        if (m_pLoop != nullptr) {
            g_main_loop_quit(m_pLoop);
        }
        m_thread.join();
    }
    bool Ready() const { return m_bOwned; }
    std::vector<std::string> Items() {
        std::lock_guard lock(m_mutex);
        return m_items;
    }
    // Calls the item as a host does, without waiting for its answer.
    void Call(const std::string& item, const char* method) {
        g_dbus_connection_call(m_pBus, item.c_str(), "/StatusNotifierItem",
                               "org.kde.StatusNotifierItem", method, g_variant_new("(ii)", 5, 795),
                               nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr, nullptr);
    }
    GVariant* Property(const std::string& item, const char* name) {
        GVariant* reply = g_dbus_connection_call_sync(
            m_pBus, item.c_str(), "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", "org.kde.StatusNotifierItem", name), G_VARIANT_TYPE("(v)"),
            G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
        GVariant* value = nullptr;
        if (reply != nullptr) {
            g_variant_get(reply, "(v)", &value);
            g_variant_unref(reply);
        }
        return value;
    }

private:
    void Run() {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        m_pBus = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
        static const char* xml =
            "<node><interface name='org.kde.StatusNotifierWatcher'>"
            "<method name='RegisterStatusNotifierItem'><arg type='s' direction='in'/></method>"
            "</interface></node>";
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml, nullptr);
        static const GDBusInterfaceVTable vtable = {
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* parameters, GDBusMethodInvocation* invocation, gpointer self) {
                const gchar* item = nullptr;
                g_variant_get(parameters, "(&s)", &item);
                auto* watcher = static_cast<FakeWatcher*>(self);
                std::lock_guard lock(watcher->m_mutex);
                watcher->m_items.push_back(item);
                g_dbus_method_invocation_return_value(invocation, nullptr);
            },
            nullptr,
            nullptr,
            {}};
        if (m_pBus != nullptr) {
            g_dbus_connection_register_object(m_pBus, "/StatusNotifierWatcher", node->interfaces[0],
                                              &vtable, this, nullptr, nullptr);
            GVariant* reply = g_dbus_connection_call_sync(
                m_pBus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                "RequestName", g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u),
                G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr);
            guint32 owner = 0;
            if (reply != nullptr) {
                g_variant_get(reply, "(u)", &owner);
                g_variant_unref(reply);
            }
            m_bOwned = owner == 1;
        }
        m_pLoop = g_main_loop_new(context, FALSE);
        {
            std::lock_guard lock(m_mutex);
            m_bReady = true;
        }
        m_ready.notify_all();
        g_main_loop_run(m_pLoop);
        if (m_pBus != nullptr) {
            // Leaving the bus gives the watcher's name up for the tests that follow.
            g_dbus_connection_close_sync(m_pBus, nullptr, nullptr);
            g_object_unref(m_pBus);
        }
        g_dbus_node_info_unref(node);
        g_main_loop_unref(m_pLoop);
        g_main_context_pop_thread_default(context);
        g_main_context_unref(context);
    }

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    bool m_bReady = false;
    bool m_bOwned = false;
    GDBusConnection* m_pBus = nullptr;
    GMainLoop* m_pLoop = nullptr;
    std::vector<std::string> m_items;
};

}  // namespace

TEST(TrayIcon, StatusNotifierItemWhereAWatcherRuns) {
    FakeWatcher watcher;
    ASSERT_TRUE(watcher.Ready()) << "could not own the watcher's name";
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    ASSERT_TRUE(AddIcon(wnd.m_hWnd, L"Quorvi"));
    const std::string item = platform::testing::TrayIconBusName(wnd.m_hWnd, kIconId);
    ASSERT_FALSE(item.empty()) << "a watcher runs, so the icon should be an item";
    ASSERT_EQ(std::vector<std::string>{item}, watcher.Items()) << "not registered with the watcher";
    RECT unused{};
    EXPECT_FALSE(platform::testing::TrayIconGeometry(wnd.m_hWnd, kIconId, &unused))
        << "the icon must not show twice";

    watcher.Call(item, "Activate");
    EXPECT_TRUE(PumpUntil([&] { return Contains(Clicks(wnd), WM_LBUTTONDBLCLK); }, kWaitMs))
        << "Activate did not arrive as a double click";
    watcher.Call(item, "ContextMenu");
    EXPECT_TRUE(PumpUntil([&] { return Contains(Clicks(wnd), WM_RBUTTONUP); }, kWaitMs))
        << "ContextMenu did not arrive as a right click";

    // The host reads the image and the tip while this thread answers.
    GVariant* pixmaps = nullptr;
    GVariant* tooltip = nullptr;
    std::thread reader([&] {
        pixmaps = watcher.Property(item, "IconPixmap");
        tooltip = watcher.Property(item, "ToolTip");
    });
    PumpUntil([&] { return tooltip != nullptr; }, kWaitMs);
    reader.join();
    ASSERT_NE(nullptr, pixmaps);
    ASSERT_NE(nullptr, tooltip);
    GVariant* first = g_variant_get_child_value(pixmaps, 0);
    gint32 width = 0, height = 0;
    GVariant* bytes = nullptr;
    g_variant_get(first, "(ii@ay)", &width, &height, &bytes);
    EXPECT_EQ(16, width);
    EXPECT_EQ(static_cast<gsize>(16 * 16 * 4), g_variant_get_size(bytes));
    const gchar* title = nullptr;
    g_variant_get_child(tooltip, 2, "&s", &title);
    EXPECT_STREQ("Quorvi", title);
    for (GVariant* v : {bytes, first, pixmaps, tooltip}) {
        g_variant_unref(v);
    }
    EXPECT_TRUE(RemoveIcon(wnd.m_hWnd));
}

TEST(TrayIcon, WindowIconsFromTheIconResources) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, L"", L"Icons", 0x86CAC000, {100, 100, 400, 300}, nullptr, 0));
    HICON big = reinterpret_cast<HICON>(
        LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(128), IMAGE_ICON, 32, 32, LR_SHARED));
    ASSERT_NE(nullptr, big);
    EXPECT_EQ(0, wnd.SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)));
    EXPECT_EQ(0, wnd.SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(TrayImage())));
    EXPECT_EQ(reinterpret_cast<LRESULT>(big),
              wnd.SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big)))
        << "WM_SETICON answers the icon set before";
    wnd.ShowWindow(SW_SHOW);
    EXPECT_TRUE(PumpUntil(
        [&] {
            const std::string icons = guitest::XProperty(wnd.m_hWnd, "_NET_WM_ICON");
            return icons.find("Icon (32 x 32)") != std::string::npos &&
                   icons.find("Icon (16 x 16)") != std::string::npos;
        },
        kWaitMs))
        << "the window manager did not get both images";
}
