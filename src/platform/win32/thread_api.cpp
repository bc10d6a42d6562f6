// Threads on Windows: _beginthreadex, with the thread's task window taken down when the thread
// ends so that nothing posts into a queue that is gone.
#include <windows.h>
#include <process.h>

#include <memory>

#include "platform/thread.h"
#include "platform/thread_gate.h"
#include "platform/win32/task_window.h"

namespace {

struct ThreadStart {
    unsigned (*start)(void*);
    void* arg;
};

unsigned __stdcall RunThread(void* raw) {
    const std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(raw));
    const unsigned exitCode = start->start(start->arg);
    platform::detail::ReleaseTaskWindow();
    return exitCode;
}

}  // namespace

HANDLE BeginThreadEx(unsigned (*start)(void*), void* arg, unsigned* threadId) {
    if (start == nullptr) {
        return nullptr;
    }
    auto* context = new ThreadStart{start, arg};
    unsigned id = 0;
    const uintptr_t thread = _beginthreadex(nullptr, 0, &RunThread, context, 0, &id);
    if (thread == 0) {
        delete context;
        return nullptr;
    }
    if (threadId != nullptr) {
        *threadId = id;
    }
    return reinterpret_cast<HANDLE>(thread);
}

namespace platform::detail {

void OpenThreadGate(HANDLE gate) {
    SetEvent(gate);
}

}  // namespace platform::detail
