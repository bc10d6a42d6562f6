#include "windows/window_size.h"

#include <cmath>

#include "browser/html_ctrl_ex.h"

int ScaledLength(int logical, double scale) {
    return static_cast<int>(std::lround(logical * scale));
}

RECT ScaledRect(const RECT& logical, HWND hwnd) {
    const double scale = platform::MonitorScale(hwnd);
    return RECT{logical.left, logical.top,
                logical.left + ScaledLength(logical.right - logical.left, scale),
                logical.top + ScaledLength(logical.bottom - logical.top, scale)};
}

SIZE OuterSizeForClient(int width, int height, HWND hwnd) {
    const double scale = platform::MonitorScale(hwnd);
    return platform::CaptionedWindowSize(ScaledLength(width, scale), ScaledLength(height, scale));
}

void SetClientSizeAtCorner(CWnd& window, int width, int height, HWND insertAfter, UINT flags) {
    RECT frame;
    window.GetWindowRect(&frame);
    const SIZE outer = OuterSizeForClient(width, height, window.m_hWnd);
    window.SetWindowPos(insertAfter, frame.left, frame.top, outer.cx, outer.cy, flags);
}

void SizeToPageCenterAndShow(CWnd& window, CHtmlCtrlEx& control) {
    int width = 0;
    int height = 0;
    control.GetPageSize(width, height);
    if (width > 0 && height > 0) {
        SetClientSizeAtCorner(window, width, height, HWND_TOP, SWP_HIDEWINDOW);
    }
    window.CenterWindow();
    window.ShowWindow(SW_SHOW);
}
