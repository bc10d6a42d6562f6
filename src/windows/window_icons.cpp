#include "windows/window_icons.h"

HICON LoadSharedIcon(int id, int size) {
    return reinterpret_cast<HICON>(LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id),
                                              IMAGE_ICON, size, size, LR_SHARED));
}

void SetWindowIcons(CWnd& window, int bigIconId, int smallIconId) {
    window.SendMessage(WM_SETICON, ICON_BIG,
                       reinterpret_cast<LPARAM>(LoadSharedIcon(bigIconId, 32)));
    window.SendMessage(WM_SETICON, ICON_SMALL,
                       reinterpret_cast<LPARAM>(LoadSharedIcon(smallIconId, 16)));
}
