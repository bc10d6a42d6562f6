// Child windows inside a top-level window follow its client area.
#include "window_test_support.h"

using guitest::kWaitMs;
using testsupport::RecordingWnd;

namespace {

constexpr DWORD kMainStyle = 0x86CAC000;
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;

// Keeps its child over the whole client area, as a page window keeps its browser.
class HostWnd : public RecordingWnd {
public:
    RecordingWnd child;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        const LRESULT result = RecordingWnd::WindowProc(message, wParam, lParam);
        if (message == WM_CREATE) {
            child.CreateEx(0, nullptr, nullptr, kChildStyle, {0, 0, 0, 0}, this, UINT(-1));
        } else if (message == WM_SIZE && child.m_hWnd != nullptr) {
            RECT client{};
            GetClientRect(&client);
            child.MoveWindow(client.left, client.top, client.right, client.bottom, FALSE);
        }
        return result;
    }
};

TEST(ChildWindow, StaysOverTheClientAreaWhenTheWindowIsResized) {
    HostWnd host;
    const SIZE outer = guitest::OuterFor(360, 240);
    // A sizing border, so that the user may resize the window.
    ASSERT_TRUE(host.CreateEx(0, L"", L"Host", kMainStyle | WS_THICKFRAME,
                              {80, 80, 80 + outer.cx, 80 + outer.cy}, nullptr, 0));
    ASSERT_NE(nullptr, host.child.m_hWnd) << "child not created in WM_CREATE";
    EXPECT_EQ(&host, host.child.GetParent());
    EXPECT_EQ(UINT(-1), host.child.GetDlgCtrlID());
    // Content put into the child fills it, whatever its size.
    GtkWidget* content = gtk_drawing_area_new();
    // Painted, so the screenshot shows where the child is.
    g_signal_connect(content, "draw", G_CALLBACK(+[](GtkWidget*, cairo_t* cr, gpointer) {
                         cairo_set_source_rgb(cr, 0.8, 0.3, 0.2);
                         cairo_paint(cr);
                         return gboolean(TRUE);
                     }),
                     nullptr);
    platform::gtk::SetChildContent(host.child.m_hWnd, content);
    GtkWidget* childWidget = platform::gtk::GetWindowWidget(host.child.m_hWnd);
    ASSERT_NE(nullptr, childWidget);
    EXPECT_EQ(gtk_widget_get_parent(childWidget), platform::gtk::GetContentContainer(host.m_hWnd));

    host.ShowWindow(SW_SHOW);
    auto fills = [&](int width, int height) {
        GtkAllocation place{};
        gtk_widget_get_allocation(childWidget, &place);
        const SIZE filled = guitest::AllocatedSize(content);
        return gtk_widget_get_mapped(content) && place.x == 0 && place.y == 0 &&
               place.width == width && place.height == height && filled.cx == width &&
               filled.cy == height;
    };
    ASSERT_TRUE(PumpUntil([&] { return fills(360, 240); }, kWaitMs))
        << "the child does not cover the client area after showing";

    // The user (here xdotool) resizes the window: WM_SIZE follows and the child with it.
    bool ok = false;
    RunCommand("xdotool windowsize " + std::to_string(guitest::XidOf(host.m_hWnd)) + " 500 330",
               &ok);
    ASSERT_TRUE(ok) << "xdotool failed";
    ASSERT_TRUE(PumpUntil([&] { return fills(500, 330); }, kWaitMs))
        << "the child did not follow the resize";
    LPARAM lastSize = 0;
    for (const auto& item : host.All()) {
        if (item.message == WM_SIZE) {
            EXPECT_EQ(SIZE_RESTORED, item.wParam);
            lastSize = item.lParam;
        }
    }
    EXPECT_EQ(500, LOWORD(lastSize));
    EXPECT_EQ(330, HIWORD(lastSize));
    RECT client{};
    host.GetClientRect(&client);
    EXPECT_EQ(500, client.right);
    EXPECT_EQ(330, client.bottom);

    // And a resize from the program: outer size in, client size out.
    const SIZE bigger = guitest::OuterFor(420, 280);
    host.SetWindowPos(nullptr, 0, 0, bigger.cx, bigger.cy, SWP_NOMOVE | SWP_NOZORDER);
    host.GetClientRect(&client);
    EXPECT_EQ(420, client.right);
    EXPECT_EQ(280, client.bottom);
    ASSERT_TRUE(PumpUntil([&] { return fills(420, 280); }, kWaitMs));
    EXPECT_FALSE(TakeScreenshot("child_window").empty());

    // Hiding the parent hides the child as far as IsWindowVisible goes.
    EXPECT_TRUE(host.child.IsWindowVisible());
    host.ShowWindow(SW_HIDE);
    EXPECT_FALSE(host.child.IsWindowVisible());

    // Destroying the parent takes the child down first.
    const HWND child = host.child.m_hWnd;
    ASSERT_TRUE(host.DestroyWindow());
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(1u, host.child.Count(WM_NCDESTROY));
}

}  // namespace
