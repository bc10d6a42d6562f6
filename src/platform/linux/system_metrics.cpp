// Screen metrics, the work area and GTK start-up.
//
// Window metrics follow what the window manager really draws, so that the system's rule
// "outer size = client + 2 x SM_CXBORDER by client + SM_CYBORDER + SM_CYCAPTION" gives the
// frame a decorated window gets on screen: SM_CXBORDER is the frame's left edge, SM_CYBORDER
// its bottom edge (openbox draws its resize handle there) and SM_CYCAPTION its top edge, the
// title bar included; openbox's default theme gives 1, 5 and 20. The numbers come from the
// window manager (_NET_REQUEST_FRAME_EXTENTS); without one, nothing is drawn and all are 0.
#include <gtk/gtk.h>

#include "platform/linux/display_session.h"
#include "platform/linux/x11_desktop.h"
#include "platform/messages.h"
#include "platform/wnd.h"

int GetSystemMetrics(int nIndex) {
    SIZE screen{};
    switch (nIndex) {
        case SM_CXSCREEN:
            return platform::x11::ScreenSize(&screen) ? screen.cx : 0;
        case SM_CYSCREEN:
            return platform::x11::ScreenSize(&screen) ? screen.cy : 0;
        case SM_CXBORDER:
            return platform::x11::DecoratedFrameExtents().left;
        case SM_CYBORDER:
            return platform::x11::DecoratedFrameExtents().bottom;
        case SM_CYCAPTION:
            return platform::x11::DecoratedFrameExtents().top;
        case SM_CXICON:
        case SM_CYICON:
            return 32;
        default:
            return 0;
    }
}

BOOL GetWorkArea(RECT* rect) {
    return rect != nullptr && platform::x11::WorkArea(rect) ? TRUE : FALSE;
}

namespace platform {

bool InitGui(int* argc, char*** argv) {
    if (!IsUiThread()) {
        InitUiThread();
    }
    session::BeforeGtkInit();
    if (gtk_init_check(argc, argv) == FALSE) {
        return false;
    }
    session::AfterGtkInit();
    return true;
}

std::wstring DisplayNote() {
    return session::BackendNote();
}

}  // namespace platform
