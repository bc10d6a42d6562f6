// A message-only window on a thread of its own running the message loop: the receiving end of
// worker notifications (PostMessageW(window, message id, code, value)) in tests. It records
// every notification in arrival order and lets the test wait for one.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/types.h"

namespace testsupport {

struct Notification {
    WPARAM code;
    LPARAM value;
    // When the receiver's window got it.
    std::chrono::steady_clock::time_point at;
};

class NotificationReceiver {
public:
    // Starts the thread and creates the window there; the window exists when this returns.
    explicit NotificationReceiver(UINT messageId);
    // Destroys the window and ends the thread's loop.
    ~NotificationReceiver();
    NotificationReceiver(const NotificationReceiver&) = delete;
    NotificationReceiver& operator=(const NotificationReceiver&) = delete;

    HWND Window() const { return m_hWnd; }
    UINT MessageId() const { return m_nMessageId; }

    std::vector<Notification> All() const;
    // Waits until a recorded notification satisfies the predicate; false after timeoutMs.
    bool WaitFor(const std::function<bool(const Notification&)>& predicate, unsigned timeoutMs);
    void Clear();

private:
    class ReceiverWnd;
    static unsigned ThreadBody(void* self);
    void Record(WPARAM code, LPARAM value);

    UINT m_nMessageId;
    HWND m_hWnd = nullptr;
    HANDLE m_hThread = nullptr;
    unsigned m_nThreadId = 0;
    bool m_bReady = false;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Notification> m_notifications;
};

}  // namespace testsupport
