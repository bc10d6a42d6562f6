// A thread's message queue: posted messages and tasks in order, messages and tasks sent by
// other threads, and the GLib main context whose loop delivers them.
#pragma once

#include <glib.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/messages.h"

namespace platform::detail {

class MessageQueue;

struct PostedItem {
    HWND hwnd = nullptr;  // null for a thread message or a task
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    std::function<void()> task;
};

// A message or task sent across threads; the sender waits until the target completes it.
struct SentItem {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    const std::function<void()>* task = nullptr;
    LRESULT result = 0;
    // The sender's queue is woken on completion; a sender without a queue waits on `done`.
    std::shared_ptr<MessageQueue> sender;
    std::mutex mutex;
    std::condition_variable done;
    bool completed = false;
};

class MessageQueue : public std::enable_shared_from_this<MessageQueue> {
public:
    MessageQueue(DWORD threadId, GMainContext* context);
    ~MessageQueue();
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;

    DWORD ThreadId() const { return m_nThreadId; }
    GMainContext* Context() const { return m_pContext; }

    // Any thread. False when the queue is closed (its thread has ended).
    bool Post(PostedItem item);
    bool Deliver(const std::shared_ptr<SentItem>& item);
    // Any thread: marks a sent item answered and wakes its sender.
    static void Complete(SentItem& item, LRESULT result);

    // Owner thread: handles one sent item, else one posted item; false when both are empty.
    bool DispatchOne();
    // Owner thread: blocks until the item is answered, handling items sent to this thread
    // (never posted ones) meanwhile.
    void WaitForReply(SentItem& item);
    // Owner thread, at its end: answers waiting senders with 0 and refuses further items.
    void Close();

    // WM_QUIT reached the loop; every loop of the thread ends, the outermost takes the code.
    bool QuitRequested() const { return m_bQuit; }
    int TakeQuit();
    // Owner thread: PostQuitMessage. As on the original platform the quit comes once nothing
    // else is queued, unlike a WM_QUIT posted as a thread message, which keeps its place.
    void RequestQuit(int exitCode);

    std::function<void(UINT, WPARAM, LPARAM)> threadMessageHandler;

private:
    bool HasWork();
    void HandleSent(SentItem& item);
    void HandlePosted(PostedItem& item);
    void Wake();

    const DWORD m_nThreadId;
    GMainContext* m_pContext;
    GSource* m_pSource;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<PostedItem> m_posted;
    std::deque<std::shared_ptr<SentItem>> m_sent;
    bool m_bClosed = false;
    bool m_bQuit = false;
    bool m_bQuitPending = false;
    int m_nQuitCode = 0;

    friend struct QueueSourceFuncs;
};

// The calling thread's queue, or null.
std::shared_ptr<MessageQueue> CurrentQueue();
// Creates the calling thread's queue (with a context of its own unless it is the UI thread).
std::shared_ptr<MessageQueue> EnsureCurrentQueue();
// The queue of a thread, or null when that thread has none (or has ended).
std::shared_ptr<MessageQueue> FindQueue(DWORD threadId);
// Called as a thread ends: closes its queue, forgets its windows and timers.
void ReleaseCurrentQueue();

}  // namespace platform::detail
