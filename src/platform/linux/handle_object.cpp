#include "platform/linux/handle_object.h"

#include <chrono>
#include <functional>

#include "platform/thread.h"
#include "platform/thread_gate.h"

namespace platform::detail {

bool WaitWithTimeout(std::unique_lock<std::mutex>& lock, std::condition_variable& cv,
                     DWORD milliseconds, const std::function<bool()>& ready) {
    if (milliseconds == INFINITE) {
        cv.wait(lock, ready);
        return true;
    }
    return cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

bool ThreadObject::Wait(DWORD milliseconds) {
    std::unique_lock lock(m_mutex);
    return WaitWithTimeout(lock, m_done, milliseconds, [this] { return m_bFinished; });
}

void ThreadObject::Finish(DWORD exitCode) {
    std::lock_guard lock(m_mutex);
    m_nExitCode = exitCode;
    m_bFinished = true;
    m_done.notify_all();
}

DWORD ThreadObject::ExitCode() {
    std::lock_guard lock(m_mutex);
    return m_bFinished ? m_nExitCode : STILL_ACTIVE;
}

bool EventObject::Wait(DWORD milliseconds) {
    std::unique_lock lock(m_mutex);
    if (!WaitWithTimeout(lock, m_changed, milliseconds, [this] { return m_bSignalled; })) {
        return false;
    }
    if (!m_bManualReset) {
        m_bSignalled = false;  // an auto-reset event lets exactly one waiter through
    }
    return true;
}

void EventObject::Set() {
    std::lock_guard lock(m_mutex);
    m_bSignalled = true;
    if (m_bManualReset) {
        m_changed.notify_all();
    } else {
        m_changed.notify_one();
    }
}

void EventObject::Reset() {
    std::lock_guard lock(m_mutex);
    m_bSignalled = false;
}

}  // namespace platform::detail

namespace platform::detail {

void OpenThreadGate(HANDLE gate) {
    // Signalled through a reference of our own: the thread may close the event at once.
    gate->AddRef();
    SetEvent(gate);
    gate->Release();
}

}  // namespace platform::detail
