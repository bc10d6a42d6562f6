// What the X server and the window manager say about the desktop, read over a connection of
// our own so any thread may ask.
#pragma once

#include "platform/types.h"

namespace platform::x11 {

// The frame the window manager draws around a decorated window, in pixels.
struct FrameExtents {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
};

// Asks the window manager once (_NET_REQUEST_FRAME_EXTENTS) and keeps the answer; all zero
// without a display or without a window manager that answers.
FrameExtents DecoratedFrameExtents();
// _NET_WORKAREA of the current desktop; the whole screen when the window manager gives none.
bool WorkArea(RECT* rect);
bool ScreenSize(SIZE* size);

}  // namespace platform::x11
