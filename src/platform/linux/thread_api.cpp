// Threads, waits, events and the tick count.
#include <chrono>
#include <thread>

#include "platform/linux/handle_object.h"
#include "platform/linux/message_queue.h"
#include "platform/messages.h"
#include "platform/thread.h"

namespace {

std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

DWORD AllocateThreadId() {
    return g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

DWORD GetCurrentThreadId() {
    if (t_threadId == 0) {
        t_threadId = AllocateThreadId();
    }
    return t_threadId;
}

HANDLE BeginThreadEx(unsigned (*start)(void*), void* arg, unsigned* threadId) {
    if (start == nullptr) {
        return nullptr;
    }
    auto* thread = new platform::detail::ThreadObject;
    // The id is known before the thread runs, so the creator can address it at once.
    const DWORD id = AllocateThreadId();
    thread->AddRef();  // the running thread's reference
    try {
        std::thread([thread, start, arg, id] {
            t_threadId = id;
            const unsigned exitCode = start(arg);
            // The queue goes before the thread counts as ended, so a waiter never sees an
            // ended thread that still accepts messages.
            platform::detail::ReleaseCurrentQueue();
            thread->Finish(exitCode);
            thread->Release();
        }).detach();
    } catch (const std::system_error&) {
        thread->Release();
        thread->Release();
        return nullptr;
    }
    if (threadId != nullptr) {
        *threadId = id;
    }
    return thread;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    if (hHandle == nullptr) {
        return WAIT_FAILED;
    }
    return hHandle->Wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL GetExitCodeThread(HANDLE hThread, DWORD* lpExitCode) {
    auto* thread = dynamic_cast<platform::detail::ThreadObject*>(hThread);
    if (thread == nullptr || lpExitCode == nullptr) {
        return FALSE;
    }
    *lpExitCode = thread->ExitCode();
    return TRUE;
}

BOOL CloseHandle(HANDLE hObject) {
    if (hObject == nullptr) {
        return FALSE;
    }
    hObject->Release();
    return TRUE;
}

HANDLE CreateEventW(void*, BOOL bManualReset, BOOL bInitialState, LPCWSTR) {
    return new platform::detail::EventObject(bManualReset != FALSE, bInitialState != FALSE);
}

BOOL SetEvent(HANDLE hEvent) {
    auto* event = dynamic_cast<platform::detail::EventObject*>(hEvent);
    if (event == nullptr) {
        return FALSE;
    }
    event->Set();
    return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
    auto* event = dynamic_cast<platform::detail::EventObject*>(hEvent);
    if (event == nullptr) {
        return FALSE;
    }
    event->Reset();
    return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}

DWORD GetTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    // Wraps after 49.7 days, as the platform's tick count does.
    return static_cast<DWORD>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}
