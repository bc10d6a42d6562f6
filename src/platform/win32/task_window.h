// Each thread with a message queue owns a message-only task window: tasks posted or sent to
// the thread (platform::PostTask, SendTask) arrive there as messages.
#pragma once

#include <windows.h>

namespace platform::detail {

// The calling thread's task window, made (with its message queue) on first use.
HWND EnsureTaskWindow();
// The task window of another thread; null when it has none.
HWND FindTaskWindow(DWORD threadId);
// Destroys the calling thread's task window (at the thread's end).
void ReleaseTaskWindow();

}  // namespace platform::detail

#include <functional>

namespace platform::detail {

bool PostTaskTo(DWORD threadId, std::function<void()> task);
bool SendTaskTo(DWORD threadId, const std::function<void()>& task);

}  // namespace platform::detail
