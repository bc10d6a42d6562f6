// Kernel objects behind HANDLE on Linux: threads and events. A handle is one reference; a
// running thread holds another, so closing the handle of a running thread only detaches it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/types.h"

struct HandleObject {
    virtual ~HandleObject() = default;

    void AddRef() { m_refs.fetch_add(1, std::memory_order_relaxed); }
    void Release() {
        if (m_refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            delete this;
        }
    }

    // Blocks until the object is signalled or the time passes; true when signalled.
    virtual bool Wait(DWORD milliseconds) = 0;

private:
    std::atomic<int> m_refs{1};
};

namespace platform::detail {

class ThreadObject : public HandleObject {
public:
    bool Wait(DWORD milliseconds) override;
    void Finish(DWORD exitCode);
    // STILL_ACTIVE while the thread runs.
    DWORD ExitCode();

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_bFinished = false;
    DWORD m_nExitCode = 0;
};

class EventObject : public HandleObject {
public:
    EventObject(bool manualReset, bool initialState)
        : m_bManualReset(manualReset), m_bSignalled(initialState) {}
    bool Wait(DWORD milliseconds) override;
    void Set();
    void Reset();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const bool m_bManualReset;
    bool m_bSignalled;
};

// Waits on cv until ready() or the time passes; INFINITE waits for ever.
bool WaitWithTimeout(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                     DWORD milliseconds, const std::function<bool()>& ready);

}  // namespace platform::detail
