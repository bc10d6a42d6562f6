// Page windows take the size their page declares: the client size plus the frame, counted
// with one vertical border only, as the original windows were sized.
#pragma once

#include "platform/wnd.h"

// w + 2 x SM_CXBORDER by h + SM_CYBORDER + SM_CYCAPTION.
SIZE OuterSizeForClient(int width, int height);

// Gives the window a client area of width x height (by the rule above), its top-left corner
// staying where it is.
void SetClientSizeAtCorner(CWnd& window, int width, int height, HWND insertAfter, UINT flags);

class CHtmlCtrlEx;

// The option and about windows on every loaded document: the page's size at the current
// top-left corner (when it declares one), then centred and shown.
void SizeToPageCenterAndShow(CWnd& window, CHtmlCtrlEx& control);
