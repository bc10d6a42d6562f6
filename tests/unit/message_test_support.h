// Helpers for the message layer tests: a thread running a message loop, and a window that
// records what reaches it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <vector>

#include "platform/messages.h"
#include "platform/thread.h"
#include "platform/wnd.h"

namespace testsupport {

constexpr DWORD kDeadlineMs = 5000;

// A thread that runs its message loop until WM_QUIT; the destructor quits it and waits.
class LoopThread {
public:
    LoopThread() {
        m_hReady = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        unsigned id = 0;
        m_hThread = BeginThreadEx(&LoopThread::Body, this, &id);
        m_nId = id;
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hReady, kDeadlineMs))
            << "loop thread did not start";
    }
    ~LoopThread() {
        Quit(0);
        EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(m_hThread, kDeadlineMs))
            << "loop thread did not end";
        CloseHandle(m_hThread);
        CloseHandle(m_hReady);
    }
    DWORD Id() const { return m_nId; }
    HANDLE Handle() const { return m_hThread; }
    void Quit(int code) { PostThreadMessageW(m_nId, WM_QUIT, static_cast<WPARAM>(code), 0); }
    // Runs fn on the loop thread and waits for it.
    void Run(const std::function<void()>& fn) {
        ASSERT_TRUE(platform::SendTask(m_nId, fn)) << "loop thread has no queue";
    }

private:
    static unsigned Body(void* self) {
        auto* thread = static_cast<LoopThread*>(self);
        platform::EnsureMessageQueue();
        SetEvent(thread->m_hReady);
        return static_cast<unsigned>(platform::RunMessageLoop());
    }
    HANDLE m_hThread = nullptr;
    HANDLE m_hReady = nullptr;
    DWORD m_nId = 0;
};

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD threadId;
};

// A message-only window that records every message and lets a test answer them.
class RecordingWnd : public CWnd {
public:
    std::function<LRESULT(UINT, WPARAM, LPARAM)> onMessage;
    std::function<void()> onPostNcDestroy;

    BOOL Create() { return CreateEx(0, L"", L"recorder", 0, RECT{}, nullptr, 0); }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        {
            std::lock_guard lock(m_mutex);
            m_received.push_back({message, wParam, lParam, GetCurrentThreadId()});
        }
        if (onMessage) {
            return onMessage(message, wParam, lParam);
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }
    void PostNcDestroy() override {
        if (onPostNcDestroy) {
            onPostNcDestroy();
        }
    }

    // The wParams of every message `message` received so far, in order.
    std::vector<WPARAM> ParamsOf(UINT message) {
        std::lock_guard lock(m_mutex);
        std::vector<WPARAM> params;
        for (const auto& item : m_received) {
            if (item.message == message) {
                params.push_back(item.wParam);
            }
        }
        return params;
    }
    std::vector<Received> All() {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    size_t Count(UINT message) { return ParamsOf(message).size(); }

private:
    std::mutex m_mutex;
    std::vector<Received> m_received;
};

// Pumps the calling thread's loop until cond() or the deadline.
inline bool PumpUntil(const std::function<bool()>& cond, DWORD timeoutMs = kDeadlineMs) {
    return platform::PumpMessagesUntil(cond, timeoutMs);
}

}  // namespace testsupport
