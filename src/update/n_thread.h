// Base of an object that owns one worker thread whose body is the object's Run.
#pragma once

#include "platform/thread.h"
#include "platform/types.h"

namespace utility {

class NThread {
public:
    NThread() = default;
    // Closes the handle; a thread that still runs goes on, detached.
    virtual ~NThread();
    NThread(const NThread&) = delete;
    NThread& operator=(const NThread&) = delete;

    // The worker's body; its result is the thread's exit code.
    virtual unsigned Run() = 0;

    // Starts Run on a new thread. Owners call it only when no worker of theirs runs.
    void Start();

    HANDLE GetThreadHandle() const { return m_hThread; }

protected:
    static unsigned ThreadEntry(void* self);

    unsigned m_nThreadId = 0;
    HANDLE m_hThread = nullptr;
};

}  // namespace utility
