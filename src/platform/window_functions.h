// Window functions that take a handle, for code that holds a window's handle rather than its
// object; they do what the CWnd members of the same names do, on whatever thread owns it.
#pragma once

#include "platform/types.h"

#ifndef _WIN32

// Returns whether the window was visible before; FALSE for an unknown window.
BOOL ShowWindow(HWND hWnd, int nCmdShow);
BOOL IsWindowVisible(HWND hWnd);
// Whether a top-level window is minimized.
BOOL IsIconic(HWND hWnd);
// Brings the window to the front and gives it the focus.
BOOL SetForegroundWindow(HWND hWnd);
// The mouse pointer in screen coordinates; FALSE without a display.
BOOL GetCursorPos(POINT* lpPoint);

#endif
