// Screen metrics, the work area and GTK start-up.
//
// Window metrics follow what the window manager really draws, so that the system's rule
// "outer size = client + 2 x SM_CXBORDER by client + SM_CYBORDER + SM_CYCAPTION" gives the
// frame a decorated window gets on screen: SM_CXBORDER is the frame's left edge, SM_CYBORDER
// its bottom edge (openbox draws its resize handle there) and SM_CYCAPTION its top edge, the
// title bar included; openbox's default theme gives 1, 5 and 20. The numbers come from the
// window manager (_NET_REQUEST_FRAME_EXTENTS); without one, nothing is drawn and all are 0.
//
// Everything here is in GDK's units, the ones windows are placed and sized in: the device
// pixels that X11 and the window manager report, divided by GDK's window scale (GDK_SCALE on a
// HiDPI screen). Mixing the two put windows off the screen.
#include <gtk/gtk.h>

#include <atomic>
#include <vector>

#include "platform/linux/display_session.h"
#include "platform/linux/narrow_arguments.h"
#include "platform/linux/x11_desktop.h"
#include "platform/messages.h"
#include "platform/wnd.h"

namespace {

std::atomic<bool> g_bGdkReady{false};
// Kept for the threads that may not ask GDK; the UI thread reads it afresh.
std::atomic<int> g_nWindowScale{1};

int WindowScale() {
    if (g_bGdkReady && platform::IsUiThread()) {
        GdkWindow* root = gdk_get_default_root_window();
        const int scale = root != nullptr ? gdk_window_get_scale_factor(root) : 1;
        g_nWindowScale = scale > 0 ? scale : 1;
    }
    return g_nWindowScale;
}

// Edges of an area are rounded inwards, so the area in GDK units never reaches past the real one.
LONG Inward(LONG device, int scale, bool lowEdge) {
    const LONG floor = device >= 0 ? device / scale : -((-device + scale - 1) / scale);
    return lowEdge && floor * scale != device ? floor + 1 : floor;
}

// Frame edges are rounded up: a frame is never counted thinner than it is drawn.
int FrameEdge(int device) {
    const int scale = WindowScale();
    return (device + scale - 1) / scale;
}

}  // namespace

int GetSystemMetrics(int nIndex) {
    SIZE screen{};
    switch (nIndex) {
        case SM_CXSCREEN:
            return platform::x11::ScreenSize(&screen) ? screen.cx / WindowScale() : 0;
        case SM_CYSCREEN:
            return platform::x11::ScreenSize(&screen) ? screen.cy / WindowScale() : 0;
        case SM_CXBORDER:
            return FrameEdge(platform::x11::DecoratedFrameExtents().left);
        case SM_CYBORDER:
            return FrameEdge(platform::x11::DecoratedFrameExtents().bottom);
        case SM_CYCAPTION:
            return FrameEdge(platform::x11::DecoratedFrameExtents().top);
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        default:
            return 0;
    }
}

BOOL GetWorkArea(RECT* rect) {
    RECT device{};
    if (rect == nullptr || !platform::x11::WorkArea(&device)) {
        return FALSE;
    }
    const int scale = WindowScale();
    *rect = {Inward(device.left, scale, true), Inward(device.top, scale, true),
             Inward(device.right, scale, false), Inward(device.bottom, scale, false)};
    return TRUE;
}

namespace platform {

bool InitGui(const std::vector<std::wstring>& commandLine) {
    if (!IsUiThread()) {
        InitUiThread();
    }
    session::BeforeGtkInit();
    // GTK reads its own options (--display ...) from the command line.
    detail::CNarrowArguments words(commandLine);
    int argc = words.Count();
    char** argv = words.Argv();
    if (gtk_init_check(&argc, &argv) == FALSE) {
        return false;
    }
    session::AfterGtkInit();
    g_bGdkReady = true;
    WindowScale();
    return true;
}

std::wstring DisplayNote() {
    return session::BackendNote();
}

SIZE CaptionedWindowSize(int width, int height) {
    // The metrics are the window manager's frame, so the rule is exact here.
    return SIZE{width + 2 * GetSystemMetrics(SM_CXBORDER),
                height + GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYCAPTION)};
}

double MonitorScale(HWND) {
    // GTK sizes and places windows in logical pixels and scales them itself.
    return 1.0;
}

}  // namespace platform
