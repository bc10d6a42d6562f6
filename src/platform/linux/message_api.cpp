// Posting and sending window messages, thread messages and tasks.
#include <unistd.h>

#include "platform/linux/message_queue.h"
#include "platform/linux/timer_table.h"
#include "platform/linux/window_registry.h"

namespace {

using platform::detail::FindQueue;
using platform::detail::SentItem;

// Hands the item to the target thread and waits for its answer, handling what other threads
// send to this one meanwhile. False when the target thread has no queue.
bool SendAcross(DWORD threadId, const std::shared_ptr<SentItem>& item) {
    auto target = FindQueue(threadId);
    if (!target) {
        return false;
    }
    item->sender = platform::detail::CurrentQueue();
    if (!target->Deliver(item)) {
        return false;
    }
    if (item->sender) {
        item->sender->WaitForReply(*item);
    } else {
        std::unique_lock lock(item->mutex);
        item->done.wait(lock, [&] { return item->completed; });
    }
    return true;
}

}  // namespace

BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto queue = FindQueue(WindowRegistry::OwnerThread(hWnd));
    if (!queue) {
        return FALSE;
    }
    return queue->Post({hWnd, Msg, wParam, lParam, nullptr}) ? TRUE : FALSE;
}

LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    const DWORD owner = WindowRegistry::OwnerThread(hWnd);
    if (owner == 0) {
        return 0;
    }
    if (owner == GetCurrentThreadId()) {
        return platform::detail::DeliverToWindow(hWnd, Msg, wParam, lParam);
    }
    auto item = std::make_shared<SentItem>();
    item->hwnd = hWnd;
    item->message = Msg;
    item->wParam = wParam;
    item->lParam = lParam;
    return SendAcross(owner, item) ? item->result : 0;
}

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto queue = FindQueue(idThread);
    if (!queue) {
        return FALSE;
    }
    return queue->Post({nullptr, Msg, wParam, lParam, nullptr}) ? TRUE : FALSE;
}

void PostQuitMessage(int nExitCode) {
    platform::detail::EnsureCurrentQueue()->RequestQuit(nExitCode);
}

BOOL IsWindow(HWND hWnd) {
    return WindowRegistry::OwnerThread(hWnd) != 0 ? TRUE : FALSE;
}

DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId) {
    const DWORD owner = WindowRegistry::OwnerThread(hWnd);
    if (lpdwProcessId != nullptr) {
        *lpdwProcessId = owner != 0 ? static_cast<DWORD>(getpid()) : 0;
    }
    return owner;
}

UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc) {
    return platform::detail::StartTimer(hWnd, nIDEvent, uElapse, lpTimerFunc);
}

BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent) {
    return platform::detail::StopTimer(hWnd, uIDEvent);
}

namespace platform {

bool PostTask(DWORD threadId, std::function<void()> task) {
    auto queue = FindQueue(threadId);
    return queue && queue->Post({nullptr, WM_NULL, 0, 0, std::move(task)});
}

bool SendTask(DWORD threadId, const std::function<void()>& task) {
    if (threadId == GetCurrentThreadId()) {
        task();
        return true;
    }
    auto item = std::make_shared<SentItem>();
    item->task = &task;
    return SendAcross(threadId, item);
}

}  // namespace platform
