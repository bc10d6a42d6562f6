// Page windows take the size their page declares: the client size plus the frame the platform
// draws around it.
#pragma once

#include "platform/wnd.h"

// Sizes here are logical (CSS pixels): a window gets them times the scale of its monitor
// (platform::MonitorScale), so a page keeps its layout and stays sharp at 150 %.
int ScaledLength(int logical, double scale);
// The rectangle with its size scaled for the window's monitor (the primary one for null), its
// top-left corner kept.
RECT ScaledRect(const RECT& logical, HWND hwnd = nullptr);

// The outer size whose client area is w x h scaled for the window's monitor: on Linux w + 2 x
// SM_CXBORDER by h + SM_CYBORDER + SM_CYCAPTION, whose metrics are the window manager's frame;
// on Windows the frame AdjustWindowRectEx gives (that rule would cut the page by the fixed
// frame's edges there).
SIZE OuterSizeForClient(int width, int height, HWND hwnd = nullptr);

// Gives the window a client area of width x height (by the rule above), its top-left corner
// staying where it is.
void SetClientSizeAtCorner(CWnd& window, int width, int height, HWND insertAfter, UINT flags);

class CHtmlCtrlEx;

// The option and about windows on every loaded document: the page's size at the current
// top-left corner (when it declares one), then centred and shown.
void SizeToPageCenterAndShow(CWnd& window, CHtmlCtrlEx& control);
