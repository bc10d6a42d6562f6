// Window handles: every live window is registered under a handle with its owning thread.
// Handles count up and are never reused while the process runs, so a stale handle can never
// reach a newer window.
#pragma once

#include <vector>

#include "platform/wnd.h"

struct WindowRegistry {
    static HWND Register(CWnd* wnd, DWORD threadId);
    static void Unregister(HWND hwnd);
    // Any thread. Null (or 0) for a handle that is not (or no longer) registered.
    static CWnd* Find(HWND hwnd);
    static DWORD OwnerThread(HWND hwnd);
    static std::vector<HWND> WindowsOfThread(DWORD threadId);

    // The private part of a window object, for the platform's own files.
    static CWnd::State* StateOf(const CWnd* wnd) { return wnd->m_pState; }
};

namespace platform::detail {

inline DWORD WindowOwnerThread(HWND hwnd) {
    return WindowRegistry::OwnerThread(hwnd);
}
// Calls the window procedure on the calling thread; 0 (and nothing happens) when the window
// is gone or belongs to another thread.
LRESULT DeliverToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The thread ended: its windows stop existing for everyone else.
void ForgetWindowsOfThread(DWORD threadId);

}  // namespace platform::detail
