// Top-level windows under a real window manager: styles, sizes, centring, closing.
#include "window_test_support.h"

#include <X11/Xlib.h>

using guitest::kWaitMs;
using testsupport::RecordingWnd;

namespace {

constexpr DWORD kMainStyle = 0x86CAC000;   // popup with caption, system menu, minimise box
constexpr DWORD kPopupStyle = 0x8600C000;  // popup without caption

bool IsMapped(HWND hwnd) {
    GtkWidget* widget = platform::gtk::GetWindowWidget(hwnd);
    return widget != nullptr && gtk_widget_get_mapped(widget);
}

TEST(TopLevelWindow, StylesShowWithTheRequestedClientSize) {
    const SIZE outer = guitest::OuterFor(400, 300);
    RecordingWnd captioned, popup, tool;
    ASSERT_TRUE(captioned.CreateEx(0, L"", L"Captioned", kMainStyle,
                                   {60, 60, 60 + outer.cx, 60 + outer.cy}, nullptr, 0));
    ASSERT_TRUE(
        popup.CreateEx(0, L"", L"Popup", kPopupStyle, {600, 80, 600 + 250, 80 + 180}, nullptr, 0));
    ASSERT_TRUE(tool.CreateEx(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"", L"Tool", kPopupStyle,
                              {600, 400, 600 + 200, 400 + 120}, nullptr, 0));
    for (RecordingWnd* wnd : {&captioned, &popup, &tool}) {
        EXPECT_FALSE(wnd->IsWindowVisible()) << "shown before ShowWindow";
        wnd->ShowWindow(SW_SHOW);
    }
    ASSERT_TRUE(PumpUntil(
        [&] {
            return IsMapped(captioned.m_hWnd) && IsMapped(popup.m_hWnd) && IsMapped(tool.m_hWnd);
        },
        kWaitMs))
        << "windows were not mapped";
    // Let the window manager frame them and GTK allocate them.
    ASSERT_TRUE(PumpUntil(
        [&] {
            RECT frame = guitest::FrameOnScreen(captioned.m_hWnd);
            return frame.right - frame.left == outer.cx && frame.bottom - frame.top == outer.cy;
        },
        kWaitMs))
        << "the captioned window's frame is not the requested outer size";

    RECT client{};
    captioned.GetClientRect(&client);
    EXPECT_EQ(400, client.right);
    EXPECT_EQ(300, client.bottom);
    const SIZE allocated =
        guitest::AllocatedSize(platform::gtk::GetContentContainer(captioned.m_hWnd));
    EXPECT_EQ(400, allocated.cx);
    EXPECT_EQ(300, allocated.cy);
    const RECT frame = guitest::FrameOnScreen(captioned.m_hWnd);
    EXPECT_EQ(60, frame.left);
    EXPECT_EQ(60, frame.top);
    EXPECT_TRUE(PumpUntil(
        [&] {
            RECT reported{};
            captioned.GetWindowRect(&reported);
            return reported.left == frame.left && reported.top == frame.top &&
                   reported.right == frame.right && reported.bottom == frame.bottom;
        },
        kWaitMs))
        << "GetWindowRect does not report the frame on screen";
    EXPECT_TRUE(captioned.IsWindowVisible());
    EXPECT_EQ(1u, captioned.Count(WM_SHOWWINDOW));
    const auto sizes = captioned.ParamsOf(WM_SIZE);
    ASSERT_FALSE(sizes.empty());

    // A popup without a caption gets no frame; its outer size is its client size.
    popup.GetClientRect(&client);
    EXPECT_EQ(250, client.right);
    EXPECT_EQ(180, client.bottom);
    EXPECT_EQ(std::string::npos,
              guitest::XProperty(popup.m_hWnd, "_NET_WM_STATE").find("_NET_WM_STATE_SKIP_TASKBAR"));
    EXPECT_TRUE(PumpUntil(
        [&] {
            return guitest::XProperty(popup.m_hWnd, "_NET_FRAME_EXTENTS").find("= 0, 0, 0, 0") !=
                   std::string::npos;
        },
        kWaitMs))
        << guitest::XProperty(popup.m_hWnd, "_NET_FRAME_EXTENTS");

    // A topmost tool window stays above and out of the taskbar.
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::string state = guitest::XProperty(tool.m_hWnd, "_NET_WM_STATE");
            return state.find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos &&
                   state.find("_NET_WM_STATE_ABOVE") != std::string::npos;
        },
        kWaitMs))
        << guitest::XProperty(tool.m_hWnd, "_NET_WM_STATE");
    EXPECT_FALSE(TakeScreenshot("top_level_styles").empty());

    captioned.ShowWindow(SW_HIDE);
    EXPECT_TRUE(PumpUntil([&] { return !IsMapped(captioned.m_hWnd); }, kWaitMs));
    EXPECT_FALSE(captioned.IsWindowVisible());
    EXPECT_EQ((std::vector<WPARAM>{TRUE, FALSE}), captioned.ParamsOf(WM_SHOWWINDOW));
}

TEST(TopLevelWindow, SetWindowPosTopmostAndStyleChanges) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, L"", L"Plain", kMainStyle, {100, 100, 400, 300}, nullptr, 0));
    wnd.ShowWindow(SW_SHOWNOACTIVATE);
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(wnd.m_hWnd); }, kWaitMs));
    wnd.SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_NE(0u, wnd.GetExStyle() & WS_EX_TOPMOST);
    EXPECT_TRUE(PumpUntil(
        [&] {
            return guitest::XProperty(wnd.m_hWnd, "_NET_WM_STATE").find("_NET_WM_STATE_ABOVE") !=
                   std::string::npos;
        },
        kWaitMs));
    EXPECT_TRUE(wnd.ModifyStyleEx(0, WS_EX_TOOLWINDOW));
    EXPECT_FALSE(wnd.ModifyStyleEx(0, WS_EX_TOOLWINDOW)) << "nothing changed the second time";
    EXPECT_TRUE(PumpUntil(
        [&] {
            return guitest::XProperty(wnd.m_hWnd, "_NET_WM_STATE")
                       .find("_NET_WM_STATE_SKIP_TASKBAR") != std::string::npos;
        },
        kWaitMs));
    wnd.SetWindowText(L"Renamed \u00e9\u4e2d");
    EXPECT_TRUE(PumpUntil(
        [&] {
            return guitest::XProperty(wnd.m_hWnd, "_NET_WM_NAME").find("Renamed") !=
                   std::string::npos;
        },
        kWaitMs));
    EXPECT_EQ(L"Renamed \u00e9\u4e2d", wnd.GetWindowText());

    // An icon from a PNG file reaches the window manager.
    GdkPixbuf* image = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, 32, 32);
    gdk_pixbuf_fill(image, 0x3366ccff);
    const std::string icon = GuiWorkDir() + "/icon.png";
    ASSERT_TRUE(gdk_pixbuf_save(image, icon.c_str(), "png", nullptr, nullptr));
    g_object_unref(image);
    wnd.SetIconFromFile(std::wstring(icon.begin(), icon.end()).c_str());
    EXPECT_TRUE(PumpUntil(
        [&] {
            return guitest::XProperty(wnd.m_hWnd, "_NET_WM_ICON").find("Icon (32 x 32)") !=
                   std::string::npos;
        },
        kWaitMs))
        << "the window has no 32 x 32 icon";
}

bool IsActive(HWND hwnd) {
    // "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x..."
    const std::string active = RunCommand("xprop -root _NET_ACTIVE_WINDOW");
    const size_t hash = active.find("# ");
    return hash != std::string::npos &&
           std::stoul(active.substr(hash + 2), nullptr, 16) == guitest::XidOf(hwnd);
}

TEST(TopLevelWindow, ShowingActivatesUnlessAskedNotTo) {
    RecordingWnd first, second;
    ASSERT_TRUE(first.CreateEx(0, L"", L"First", kMainStyle, {100, 100, 400, 300}, nullptr, 0));
    ASSERT_TRUE(second.CreateEx(0, L"", L"Second", kMainStyle, {500, 100, 800, 300}, nullptr, 0));
    first.ShowWindow(SW_SHOW);
    ASSERT_TRUE(PumpUntil([&] { return IsActive(first.m_hWnd); }, kWaitMs))
        << "SW_SHOW did not activate the window";
    second.ShowWindow(SW_SHOWNOACTIVATE);
    ASSERT_TRUE(PumpUntil([&] { return IsMapped(second.m_hWnd); }, kWaitMs));
    PumpFor(200);
    EXPECT_TRUE(IsActive(first.m_hWnd)) << "SW_SHOWNOACTIVATE took the focus";
    second.SetForegroundWindow();
    EXPECT_TRUE(PumpUntil([&] { return IsActive(second.m_hWnd); }, kWaitMs));
    // Showing a window that is already on screen brings it to the front.
    first.ShowWindow(SW_SHOW);
    EXPECT_TRUE(PumpUntil([&] { return IsActive(first.m_hWnd); }, kWaitMs));
}

TEST(TopLevelWindow, CenterWindowLandsInTheWorkAreaCentre) {
    RecordingWnd wnd;
    const SIZE outer = guitest::OuterFor(320, 200);
    ASSERT_TRUE(
        wnd.CreateEx(0, L"", L"Centred", kMainStyle, {0, 0, outer.cx, outer.cy}, nullptr, 0));
    wnd.CenterWindow();
    RECT work{};
    ASSERT_TRUE(GetWorkArea(&work));
    RECT rect{};
    wnd.GetWindowRect(&rect);
    EXPECT_NEAR((work.left + work.right) / 2, (rect.left + rect.right) / 2, 1);
    EXPECT_NEAR((work.top + work.bottom) / 2, (rect.top + rect.bottom) / 2, 1);

    // And the window manager puts it there once shown; GetWindowRect then tells the truth.
    wnd.ShowWindow(SW_SHOW);
    ASSERT_TRUE(PumpUntil(
        [&] {
            const RECT frame = guitest::FrameOnScreen(wnd.m_hWnd);
            RECT reported{};
            wnd.GetWindowRect(&reported);
            return IsMapped(wnd.m_hWnd) && frame.left == rect.left && frame.top == rect.top &&
                   frame.right == rect.right && frame.bottom == rect.bottom &&
                   reported.left == frame.left && reported.top == frame.top &&
                   reported.right == frame.right && reported.bottom == frame.bottom;
        },
        kWaitMs))
        << "the window was not placed where CenterWindow put it";

    // Centred over a visible owner instead of the work area.
    RecordingWnd owned;
    ASSERT_TRUE(owned.CreateEx(0, L"", L"Owned", kPopupStyle, {0, 0, 100, 60}, &wnd, 0));
    owned.CenterWindow();
    RECT ownedRect{};
    owned.GetWindowRect(&ownedRect);
    EXPECT_NEAR((rect.left + rect.right) / 2, (ownedRect.left + ownedRect.right) / 2, 1);
    EXPECT_NEAR((rect.top + rect.bottom) / 2, (ownedRect.top + ownedRect.bottom) / 2, 1);
}

// What a pager or taskbar does to close a window: _NET_CLOSE_WINDOW to the root window.
void AskWindowManagerToClose(HWND hwnd) {
    Display* display = gdk_x11_get_default_xdisplay();
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = guitest::XidOf(hwnd);
    event.xclient.message_type = XInternAtom(display, "_NET_CLOSE_WINDOW", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = CurrentTime;
    event.xclient.data.l[1] = 2;  // from a pager
    XSendEvent(display, DefaultRootWindow(display), False,
               SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

TEST(TopLevelWindow, CloseFromTheWindowManagerReachesWindowProc) {
    RecordingWnd hiding, closing;
    hiding.onMessage = [&](UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_CLOSE) {
            hiding.ShowWindow(SW_HIDE);  // as a window that hides to the tray does
            return 0;
        }
        return hiding.CWnd::WindowProc(message, wParam, lParam);
    };
    ASSERT_TRUE(
        hiding.CreateEx(0, L"", L"Hides", kMainStyle | WS_VISIBLE, {50, 50, 350, 250}, nullptr, 0));
    ASSERT_TRUE(closing.CreateEx(0, L"", L"Closes", kMainStyle | WS_VISIBLE, {400, 50, 700, 250},
                                 nullptr, 0));
    ASSERT_TRUE(
        PumpUntil([&] { return IsMapped(hiding.m_hWnd) && IsMapped(closing.m_hWnd); }, kWaitMs));

    AskWindowManagerToClose(hiding.m_hWnd);
    ASSERT_TRUE(PumpUntil([&] { return hiding.Count(WM_CLOSE) == 1; }, kWaitMs))
        << "WM_CLOSE did not arrive";
    EXPECT_TRUE(PumpUntil([&] { return !IsMapped(hiding.m_hWnd); }, kWaitMs));
    EXPECT_TRUE(IsWindow(hiding.m_hWnd)) << "a window that hides on WM_CLOSE was destroyed";

    const HWND hwnd = closing.m_hWnd;
    AskWindowManagerToClose(hwnd);
    ASSERT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); }, kWaitMs))
        << "the default WM_CLOSE handling did not destroy the window";
    EXPECT_EQ(1u, closing.Count(WM_CLOSE));
    EXPECT_EQ(1u, closing.Count(WM_DESTROY));
    EXPECT_EQ(1u, closing.Count(WM_NCDESTROY));
}

TEST(TopLevelWindow, OnlyAMaximizeBoxAndASizingBorderLetTheUserMaximizeAndResize) {
    RecordingWnd fixed, sizable;
    ASSERT_TRUE(
        fixed.CreateEx(0, L"", L"Fixed", kMainStyle | WS_VISIBLE, {50, 50, 350, 250}, nullptr, 0));
    ASSERT_TRUE(sizable.CreateEx(0, L"", L"Sizable", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                 {400, 50, 700, 250}, nullptr, 0));
    std::string fixedActions, sizableActions;
    ASSERT_TRUE(PumpUntil(
        [&] {
            fixedActions = guitest::XProperty(fixed.m_hWnd, "_NET_WM_ALLOWED_ACTIONS");
            sizableActions = guitest::XProperty(sizable.m_hWnd, "_NET_WM_ALLOWED_ACTIONS");
            return fixedActions.find("_NET_WM_ACTION_CLOSE") != std::string::npos &&
                   sizableActions.find("_NET_WM_ACTION_CLOSE") != std::string::npos;
        },
        kWaitMs))
        << fixedActions << sizableActions;
    EXPECT_EQ(std::string::npos, fixedActions.find("MAXIMIZE")) << fixedActions;
    EXPECT_EQ(std::string::npos, fixedActions.find("_NET_WM_ACTION_RESIZE")) << fixedActions;
    EXPECT_NE(std::string::npos, fixedActions.find("_NET_WM_ACTION_MINIMIZE")) << fixedActions;
    EXPECT_NE(std::string::npos, sizableActions.find("_NET_WM_ACTION_MAXIMIZE_HORZ"));
    EXPECT_NE(std::string::npos, sizableActions.find("_NET_WM_ACTION_RESIZE"));

    // The program still sizes a window the user cannot.
    const SIZE outer = guitest::OuterFor(320, 200);
    fixed.SetWindowPos(nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(PumpUntil(
        [&] {
            RECT frame = guitest::FrameOnScreen(fixed.m_hWnd);
            return frame.right - frame.left == outer.cx && frame.bottom - frame.top == outer.cy;
        },
        kWaitMs));
}

}  // namespace
