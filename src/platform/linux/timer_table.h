// Timers: GLib timeouts attached to the context of the thread that owns the window (or of
// the calling thread for a timer without a window).
#pragma once

#include "platform/messages.h"

namespace platform::detail {

UINT_PTR StartTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL StopTimer(HWND hwnd, UINT_PTR id);
void KillTimersOfWindow(HWND hwnd);
void KillTimersOfThread(DWORD threadId);

}  // namespace platform::detail
