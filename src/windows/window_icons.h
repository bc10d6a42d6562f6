// Icon resources of the client's windows: 128 (32 x 32 images) and 133 (16 x 16 images).
#pragma once

#include "platform/icons.h"
#include "platform/wnd.h"

constexpr int IDI_MAIN_BIG = 128;
constexpr int IDI_MAIN_SMALL = 133;

// Icon resource id at size x size, loaded shared.
HICON LoadSharedIcon(int id, int size);
// Sets the window's big icon (32 x 32) and small icon (16 x 16).
void SetWindowIcons(CWnd& window, int bigIconId, int smallIconId);
