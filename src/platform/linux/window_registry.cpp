#include "platform/linux/window_registry.h"

#include <map>
#include <mutex>

#include "platform/linux/gtk_window.h"
#include "platform/linux/window_state.h"

namespace {

struct Entry {
    CWnd* wnd;
    DWORD threadId;
};

std::mutex g_mutex;
std::map<uintptr_t, Entry>& Entries() {
    static auto* entries = new std::map<uintptr_t, Entry>;
    return *entries;
}
// Starts clear of the small values the platform gives meanings (HWND_TOP, HWND_BOTTOM ...).
uintptr_t g_nextHandle = 0x10000;

uintptr_t Key(HWND hwnd) {
    return reinterpret_cast<uintptr_t>(hwnd);
}

}  // namespace

HWND WindowRegistry::Register(CWnd* wnd, DWORD threadId) {
    std::lock_guard lock(g_mutex);
    const uintptr_t key = g_nextHandle;
    g_nextHandle += 4;
    Entries()[key] = {wnd, threadId};
    return reinterpret_cast<HWND>(key);
}

void WindowRegistry::Unregister(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    Entries().erase(Key(hwnd));
}

CWnd* WindowRegistry::Find(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    auto found = Entries().find(Key(hwnd));
    return found == Entries().end() ? nullptr : found->second.wnd;
}

DWORD WindowRegistry::OwnerThread(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    auto found = Entries().find(Key(hwnd));
    return found == Entries().end() ? 0 : found->second.threadId;
}

std::vector<HWND> WindowRegistry::WindowsOfThread(DWORD threadId) {
    std::lock_guard lock(g_mutex);
    std::vector<HWND> windows;
    for (const auto& [key, entry] : Entries()) {
        if (entry.threadId == threadId) {
            windows.push_back(reinterpret_cast<HWND>(key));
        }
    }
    return windows;
}

namespace platform::detail {

LRESULT DeliverToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* wnd = nullptr;
    {
        std::lock_guard lock(g_mutex);
        auto found = Entries().find(Key(hwnd));
        if (found == Entries().end() || found->second.threadId != GetCurrentThreadId()) {
            return 0;
        }
        wnd = found->second.wnd;
    }
    // Only the owning thread destroys its windows, so the object outlives this call's start.
    return wnd->WindowProc(message, wParam, lParam);
}

void ForgetWindowsOfThread(DWORD threadId) {
    std::vector<platform::gtk::NativeWindow*> widgets;
    {
        std::lock_guard lock(g_mutex);
        auto& entries = Entries();
        for (auto it = entries.begin(); it != entries.end();) {
            if (it->second.threadId != threadId) {
                ++it;
                continue;
            }
            // The ending thread is the only one that touches its windows' state.
            if (auto* native = WindowRegistry::StateOf(it->second.wnd)->native.exchange(nullptr)) {
                widgets.push_back(native);
            }
            it = entries.erase(it);
        }
    }
    // Their widgets must not stay on the screen.
    for (auto* native : widgets) {
        platform::PostTask(platform::GetUiThreadId(), [native] { native->Destroy(); });
    }
}

}  // namespace platform::detail
