// Icons on Linux: images loaded from the PNG files of the icons folder beside the executable.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <string>

#include "platform/icons.h"

struct HICON__ {
    int resourceId;
    GdkPixbuf* pixbuf;  // at the size the icon was loaded for
    bool shared;
};

namespace platform::icons {

// The icon file of a resource that draws best at `size` pixels: that size, else the
// smallest larger one, else the largest; empty when the resource has no file.
std::string FileForSize(int resourceId, int size);
// The icon's image at `size` pixels (a new reference), drawn from its resource's best file
// rather than scaled from the loaded image where one exists; null for a null icon.
GdkPixbuf* PixbufAtSize(HICON icon, int size);

}  // namespace platform::icons

namespace platform::detail {
// WM_SETICON for any window: records the icon and gives the window manager both images;
// returns the icon the window had before.
LRESULT SetWindowIconMessage(HWND hwnd, WPARAM which, LPARAM icon);
}  // namespace platform::detail
