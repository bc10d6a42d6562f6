#include "platform/linux/x11_desktop.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <mutex>
#include <thread>

namespace platform::x11 {
namespace {

std::mutex g_mutex;

// One private connection, opened on first use and kept for the process.
Display* Connection() {
    static Display* display = XOpenDisplay(nullptr);
    return display;
}

bool ReadCardinals(Display* display, Window window, const char* name, long count, long* values) {
    Atom property = XInternAtom(display, name, False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    const bool ok = XGetWindowProperty(display, window, property, 0, count, False, XA_CARDINAL,
                                       &type, &format, &items, &after, &data) == Success &&
                    format == 32 && items >= static_cast<unsigned long>(count);
    if (ok) {
        for (long i = 0; i < count; ++i) {
            values[i] = reinterpret_cast<long*>(data)[i];
        }
    }
    if (data != nullptr) {
        XFree(data);
    }
    return ok;
}

bool AskWindowManager(FrameExtents* extents) {
    Display* display = Connection();
    if (display == nullptr) {
        return false;
    }
    const Window root = DefaultRootWindow(display);
    const Window probe = XCreateSimpleWindow(display, root, 0, 0, 100, 100, 0, 0, 0);
    // The client's captioned windows have no sizing border: ask for the frame of such a
    // window (a window manager draws no resize handle on a window of fixed size).
    XSizeHints* hints = XAllocSizeHints();
    if (hints != nullptr) {
        hints->flags = PMinSize | PMaxSize;
        hints->min_width = hints->max_width = 100;
        hints->min_height = hints->max_height = 100;
        XSetWMNormalHints(display, probe, hints);
        XFree(hints);
    }
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = probe;
    request.xclient.message_type = XInternAtom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
    request.xclient.format = 32;
    XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    XSync(display, False);
    // A window manager answers at once; without one nobody does and the frame is nothing.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    long values[4];
    bool answered = false;
    while (!answered && std::chrono::steady_clock::now() < deadline) {
        answered = ReadCardinals(display, probe, "_NET_FRAME_EXTENTS", 4, values);
        if (!answered) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    XDestroyWindow(display, probe);
    XSync(display, False);
    if (answered) {
        *extents = {int(values[0]), int(values[1]), int(values[2]), int(values[3])};
    }
    return answered;
}

}  // namespace

FrameExtents DecoratedFrameExtents() {
    // An answer is kept for good; without one (no window manager yet) the frame counts as
    // nothing, and the window manager is asked again a while later.
    static FrameExtents extents;
    static bool known = false;
    static std::chrono::steady_clock::time_point nextTry;
    std::lock_guard lock(g_mutex);
    const auto now = std::chrono::steady_clock::now();
    if (!known && now >= nextTry) {
        known = AskWindowManager(&extents);
        nextTry = now + std::chrono::seconds(10);
    }
    return extents;
}

bool ScreenSize(SIZE* size) {
    std::lock_guard lock(g_mutex);
    Display* display = Connection();
    if (display == nullptr) {
        return false;
    }
    const int screen = DefaultScreen(display);
    *size = {DisplayWidth(display, screen), DisplayHeight(display, screen)};
    return true;
}

bool WorkArea(RECT* rect) {
    SIZE screen{};
    if (!ScreenSize(&screen)) {
        return false;
    }
    std::lock_guard lock(g_mutex);
    Display* display = Connection();
    const Window root = DefaultRootWindow(display);
    long desktop = 0;
    ReadCardinals(display, root, "_NET_CURRENT_DESKTOP", 1, &desktop);
    long area[4];
    Atom property = XInternAtom(display, "_NET_WORKAREA", False);
    Atom type = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(display, root, property, 0, 1024, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) == Success &&
        format == 32 && items >= static_cast<unsigned long>(desktop * 4 + 4)) {
        for (int i = 0; i < 4; ++i) {
            area[i] = reinterpret_cast<long*>(data)[desktop * 4 + i];
        }
        found = true;
    }
    if (data != nullptr) {
        XFree(data);
    }
    if (found) {
        *rect = {LONG(area[0]), LONG(area[1]), LONG(area[0] + area[2]), LONG(area[1] + area[3])};
    } else {
        *rect = {0, 0, screen.cx, screen.cy};
    }
    return true;
}

}  // namespace platform::x11
