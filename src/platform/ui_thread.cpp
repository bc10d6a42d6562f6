// Which thread is the UI thread, the same on every platform.
#include <atomic>

#include "platform/messages.h"

namespace {

std::atomic<DWORD> g_uiThreadId{0};

}  // namespace

namespace platform {

void InitUiThread() {
    g_uiThreadId = GetCurrentThreadId();
    EnsureMessageQueue();
}

bool IsUiThread() {
    const DWORD ui = g_uiThreadId;
    return ui != 0 && ui == GetCurrentThreadId();
}

DWORD GetUiThreadId() {
    return g_uiThreadId;
}

}  // namespace platform
