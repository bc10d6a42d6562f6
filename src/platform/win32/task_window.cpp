// Message-only task windows, one per thread that has a queue, found by thread id.
#include "platform/win32/task_window.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>

namespace platform::detail {

namespace {

constexpr UINT kPostedTask = WM_APP + 0x3A0;
constexpr UINT kSentTask = WM_APP + 0x3A1;
constexpr wchar_t kClassName[] = L"SongDeckTaskWindow";

std::mutex g_mutex;
std::map<DWORD, HWND> g_windows;
thread_local HWND t_window = nullptr;

LRESULT CALLBACK TaskWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kPostedTask) {
        std::unique_ptr<std::function<void()>> task(
            reinterpret_cast<std::function<void()>*>(lParam));
        (*task)();
        return 0;
    }
    if (message == kSentTask) {
        (*reinterpret_cast<const std::function<void()>*>(lParam))();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND EnsureTaskWindow() {
    if (t_window != nullptr) {
        return t_window;
    }
    static const ATOM registered = [] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = TaskWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass);
    }();
    static_cast<void>(registered);
    t_window = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (t_window != nullptr) {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_windows[GetCurrentThreadId()] = t_window;
    }
    return t_window;
}

HWND FindTaskWindow(DWORD threadId) {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto found = g_windows.find(threadId);
    return found != g_windows.end() ? found->second : nullptr;
}

void ReleaseTaskWindow() {
    if (t_window == nullptr) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_windows.erase(GetCurrentThreadId());
    }
    // Tasks still queued are dropped with the window; their owners no longer wait for them.
    MSG message;
    while (PeekMessageW(&message, t_window, kPostedTask, kPostedTask, PM_REMOVE)) {
        delete reinterpret_cast<std::function<void()>*>(message.lParam);
    }
    DestroyWindow(t_window);
    t_window = nullptr;
}

bool PostTaskTo(DWORD threadId, std::function<void()> task) {
    HWND window = FindTaskWindow(threadId);
    if (window == nullptr) {
        return false;
    }
    auto* owned = new std::function<void()>(std::move(task));
    if (!PostMessageW(window, kPostedTask, 0, reinterpret_cast<LPARAM>(owned))) {
        delete owned;
        return false;
    }
    return true;
}

bool SendTaskTo(DWORD threadId, const std::function<void()>& task) {
    if (threadId == GetCurrentThreadId()) {
        task();
        return true;
    }
    HWND window = FindTaskWindow(threadId);
    if (window == nullptr) {
        return false;
    }
    // Windows itself handles messages sent to this thread while it waits.
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(window, kSentTask, 0, reinterpret_cast<LPARAM>(&task), SMTO_NORMAL,
                               INFINITE, &ignored) != 0;
}

}  // namespace platform::detail
