// The message loops of every thread, over the threads' own Windows queues.
#include <windows.h>

#include <chrono>
#include <utility>

#include "platform/messages.h"
#include "platform/win32/task_window.h"
#include "platform/win32/web_browser_view.h"
#include "platform/wnd.h"

namespace {

thread_local std::function<void(UINT, WPARAM, LPARAM)> t_threadMessageHandler;
// The system's dialog class, "#32770".
constexpr ULONG_PTR kDialogClassAtom = 32770;

// A thread message (no window) goes to the thread's handler; window messages to their window.
void Dispatch(const MSG& message) {
    // A thread timer's procedure is called by DispatchMessageW.
    if (message.hwnd == nullptr && !(message.message == WM_TIMER && message.lParam != 0)) {
        if (t_threadMessageHandler) {
            auto handler = t_threadMessageHandler;  // the handler may replace itself
            handler(message.message, message.wParam, message.lParam);
        }
        return;
    }
    // Keys in a dialog move its focus and press its buttons (Tab, Enter, Escape).
    HWND root = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && GetClassLongPtrW(root, GCW_ATOM) == kDialogClassAtom &&
        IsDialogMessageW(root, const_cast<MSG*>(&message))) {
        return;
    }
    // The page's keys go to its browser control first (Tab, Ctrl+C/V/X/A/Z, Delete).
    if (platform::win32::TranslateBrowserKeys(const_cast<MSG*>(&message))) {
        return;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
}

}  // namespace

namespace platform {

void EnsureMessageQueue() {
    // The task window gives the thread its queue, so thread messages posted now are kept.
    detail::EnsureTaskWindow();
}

int RunMessageLoop() {
    detail::EnsureTaskWindow();
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) {
            return -1;
        }
        Dispatch(message);
    }
    return static_cast<int>(message.wParam);
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    detail::EnsureTaskWindow();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (done()) {
            return true;
        }
        DWORD wait = 10;  // conditions changed by other threads are seen this often
        if (timeoutMs != INFINITE) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  deadline - std::chrono::steady_clock::now())
                                  .count();
            if (left <= 0) {
                return false;
            }
            wait = left < 10 ? static_cast<DWORD>(left) : wait;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                // WM_QUIT stays pending, so the outer loop ends as well.
                PostQuitMessage(static_cast<int>(message.wParam));
                return done();
            }
            Dispatch(message);
            if (done()) {
                return true;
            }
        }
    }
}

bool RunModalLoop(const std::function<bool()>& done) {
    detail::EnsureTaskWindow();
    MSG message;
    while (!done()) {
        // GetMessage sleeps until something arrives for this thread.
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            // WM_QUIT stays pending, so the outer loop ends as well.
            PostQuitMessage(got == 0 ? static_cast<int>(message.wParam) : 0);
            return false;
        }
        Dispatch(message);
    }
    return true;
}

void SetThreadMessageHandler(std::function<void(UINT, WPARAM, LPARAM)> handler) {
    t_threadMessageHandler = std::move(handler);
}

bool PostTask(DWORD threadId, std::function<void()> task) {
    return detail::PostTaskTo(threadId, std::move(task));
}

bool SendTask(DWORD threadId, const std::function<void()>& task) {
    return detail::SendTaskTo(threadId, task);
}

}  // namespace platform
