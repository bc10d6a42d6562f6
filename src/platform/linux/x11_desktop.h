// What the X server and the window manager say about the desktop, read over a connection of
// our own so any thread may ask.
#pragma once

#include "platform/types.h"

namespace platform::x11 {

// The frame the window manager draws around a decorated window, in device pixels (as is
// everything here: GetSystemMetrics and GetWorkArea turn them into GDK's units).
struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

// Asks the window manager (_NET_REQUEST_FRAME_EXTENTS) and keeps its answer; all zero
// without a display or without a window manager that answers (asked again 10 s later).
FrameExtents DecoratedFrameExtents();
// _NET_WORKAREA of the current desktop; the whole screen when the window manager gives none.
bool WorkArea(RECT* rect);
bool ScreenSize(SIZE* size);

}  // namespace platform::x11
