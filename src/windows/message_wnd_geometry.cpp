#include "windows/message_wnd_geometry.h"

bool TaskbarRectFromWorkArea(const RECT& screen, const RECT& workArea, RECT* taskbar) {
    if (workArea.bottom < screen.bottom) {
        *taskbar = RECT{screen.left, workArea.bottom, screen.right, screen.bottom};
    } else if (workArea.top > screen.top) {
        *taskbar = RECT{screen.left, screen.top, screen.right, workArea.top};
    } else if (workArea.left > screen.left) {
        *taskbar = RECT{screen.left, screen.top, workArea.left, screen.bottom};
    } else if (workArea.right < screen.right) {
        *taskbar = RECT{workArea.right, screen.top, screen.right, screen.bottom};
    } else {
        return false;
    }
    return true;
}

POINT PlaceBesideTaskbar(const RECT& taskbar, int width, int height) {
    if (taskbar.right - taskbar.left > taskbar.bottom - taskbar.top) {
        LONG x = taskbar.right - kPopupTaskbarGap - width;
        LONG y = taskbar.top != 0 ? taskbar.top - kPopupTaskbarGap - height : taskbar.bottom;
        return POINT{x, y};
    }
    LONG x = taskbar.left == 0 ? taskbar.right : taskbar.left - width;
    return POINT{x, taskbar.bottom - height};
}

POINT PlaceInWorkAreaCorner(const RECT& workArea, int width, int height) {
    return POINT{workArea.right - kPopupTaskbarGap - width,
                 workArea.bottom - kPopupTaskbarGap - height};
}

int SlideStep(int remaining) {
    return remaining >= 2 * kPopupSlideStep ? kPopupSlideStep : remaining;
}
