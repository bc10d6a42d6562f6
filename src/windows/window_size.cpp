#include "windows/window_size.h"

#include "browser/html_ctrl_ex.h"

SIZE OuterSizeForClient(int width, int height) {
    return platform::CaptionedWindowSize(width, height);
}

void SetClientSizeAtCorner(CWnd& window, int width, int height, HWND insertAfter, UINT flags) {
    RECT frame;
    window.GetWindowRect(&frame);
    const SIZE outer = OuterSizeForClient(width, height);
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
