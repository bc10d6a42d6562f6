// Messages between the application, its main window and the update thread.
#pragma once

#include "platform/messages.h"

// Thread message: one run of the update thread is over.
constexpr UINT WM_UPDATE_END = WM_USER + 1004;
// Thread message: start a run; wParam interactive, lParam 1 to start.
constexpr UINT WM_UPDATE_START = WM_USER + 1005;
// To the main window: wParam 0 shows the update popup, non-zero restarts the client.
constexpr UINT WM_UPDATE_READY = WM_USER + 1007;

// The window that hears WM_UPDATE_READY: the application's main window, recorded by the
// application object when it creates it. Null until then.
void SetUpdateMainWindow(HWND hWnd);
HWND GetUpdateMainWindow();
