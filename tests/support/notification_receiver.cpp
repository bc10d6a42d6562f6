#include "notification_receiver.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include "platform/messages.h"
#include "platform/thread.h"
#include "platform/wnd.h"

namespace testsupport {

namespace {
// Asks the receiver's window to go and its loop to end.
constexpr UINT kQuitReceiver = WM_USER + 0x3FF;
constexpr unsigned kStartDeadlineMs = 5000;
}  // namespace

class NotificationReceiver::ReceiverWnd : public CWnd {
public:
    explicit ReceiverWnd(NotificationReceiver* owner) : m_pOwner(owner) {}

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == m_pOwner->m_nMessageId) {
            m_pOwner->Record(wParam, lParam);
            return 0;
        }
        if (message == kQuitReceiver) {
            DestroyWindow();
            PostQuitMessage(0);
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    NotificationReceiver* m_pOwner;
};

NotificationReceiver::NotificationReceiver(UINT messageId) : m_nMessageId(messageId) {
    m_hThread = BeginThreadEx(&NotificationReceiver::ThreadBody, this, &m_nThreadId);
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_hThread == nullptr ||
        !m_changed.wait_for(lock, std::chrono::milliseconds(kStartDeadlineMs),
                            [this] { return m_bReady; }) ||
        m_hWnd == nullptr) {
        throw std::runtime_error("notification receiver: no window on its thread");
    }
}

NotificationReceiver::~NotificationReceiver() {
    PostMessageW(m_hWnd, kQuitReceiver, 0, 0);
    if (WaitForSingleObject(m_hThread, kStartDeadlineMs) != WAIT_OBJECT_0) {
        // Left running rather than hanging the test program; the test has failed already.
        PostThreadMessageW(m_nThreadId, WM_QUIT, 0, 0);
    }
    CloseHandle(m_hThread);
}

unsigned NotificationReceiver::ThreadBody(void* self) {
    auto* receiver = static_cast<NotificationReceiver*>(self);
    platform::EnsureMessageQueue();
    ReceiverWnd window(receiver);
    BOOL created = window.CreateEx(0, L"", L"notification receiver", 0, RECT{}, nullptr, 0);
    {
        std::lock_guard<std::mutex> lock(receiver->m_mutex);
        receiver->m_hWnd = created ? window.m_hWnd : nullptr;
        receiver->m_bReady = true;
    }
    receiver->m_changed.notify_all();
    if (!created) {
        return 1;
    }
    return static_cast<unsigned>(platform::RunMessageLoop());
}

void NotificationReceiver::Record(WPARAM code, LPARAM value) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_notifications.push_back({code, value, std::chrono::steady_clock::now()});
    }
    m_changed.notify_all();
}

std::vector<Notification> NotificationReceiver::All() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_notifications;
}

bool NotificationReceiver::WaitFor(const std::function<bool(const Notification&)>& predicate,
                                   unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    // Each wake-up looks only at what arrived since the last one.
    size_t checked = 0;
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
        checked = std::min(checked, m_notifications.size());
        for (; checked < m_notifications.size(); ++checked) {
            if (predicate(m_notifications[checked])) {
                return true;
            }
        }
        return false;
    });
}

void NotificationReceiver::Clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_notifications.clear();
}

}  // namespace testsupport
