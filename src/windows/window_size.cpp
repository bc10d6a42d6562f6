#include "windows/window_size.h"

#include "browser/html_ctrl_ex.h"

SIZE OuterSizeForClient(int width, int height) {
    return SIZE{width + 2 * GetSystemMetrics(SM_CXBORDER),
                height + GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYCAPTION)};
}

void SizeToPageCenterAndShow(CWnd& window, CHtmlCtrlEx& control) {
    int width = 0;
    int height = 0;
    control.GetPageSize(width, height);
    if (width > 0 && height > 0) {
        RECT frame;
        window.GetWindowRect(&frame);
        const SIZE outer = OuterSizeForClient(width, height);
        window.SetWindowPos(HWND_TOP, frame.left, frame.top, outer.cx, outer.cy, SWP_HIDEWINDOW);
    }
    window.CenterWindow();
    window.ShowWindow(SW_SHOW);
}
