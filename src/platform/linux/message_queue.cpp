#include "platform/linux/message_queue.h"

#include <map>

#include "platform/linux/timer_table.h"
#include "platform/linux/window_registry.h"

namespace platform::detail {

struct QueueSource {
    GSource base;
    MessageQueue* queue;
};

struct QueueSourceFuncs {
    static gboolean Prepare(GSource* source, gint* timeout) {
        *timeout = -1;
        return reinterpret_cast<QueueSource*>(source)->queue->HasWork();
    }
    static gboolean Check(GSource* source) {
        return reinterpret_cast<QueueSource*>(source)->queue->HasWork();
    }
    static gboolean Dispatch(GSource* source, GSourceFunc, gpointer) {
        reinterpret_cast<QueueSource*>(source)->queue->DispatchOne();
        return G_SOURCE_CONTINUE;
    }
};

namespace {

GSourceFuncs g_queueSourceFuncs = {QueueSourceFuncs::Prepare,
                                   QueueSourceFuncs::Check,
                                   QueueSourceFuncs::Dispatch,
                                   nullptr,
                                   nullptr,
                                   nullptr};

std::mutex g_queuesMutex;
std::map<DWORD, std::shared_ptr<MessageQueue>>& Queues() {
    static auto* queues = new std::map<DWORD, std::shared_ptr<MessageQueue>>;
    return *queues;
}

// Threads that never call ReleaseCurrentQueue themselves (plain std::threads) release their
// queue when their thread-local storage goes.
struct QueueHolder {
    std::shared_ptr<MessageQueue> queue;
    bool pushedContext = false;
    ~QueueHolder() { ReleaseCurrentQueue(); }
};
thread_local QueueHolder t_holder;

}  // namespace

MessageQueue::MessageQueue(DWORD threadId, GMainContext* context)
    : m_nThreadId(threadId), m_pContext(g_main_context_ref(context)) {
    m_pSource = g_source_new(&g_queueSourceFuncs, sizeof(QueueSource));
    reinterpret_cast<QueueSource*>(m_pSource)->queue = this;
    // Nested loops (a modal box inside a handler) must go on delivering messages.
    g_source_set_can_recurse(m_pSource, TRUE);
    g_source_set_name(m_pSource, "message queue");
    g_source_attach(m_pSource, m_pContext);
}

MessageQueue::~MessageQueue() {
    g_source_destroy(m_pSource);
    g_source_unref(m_pSource);
    g_main_context_unref(m_pContext);
}

bool MessageQueue::Post(PostedItem item) {
    {
        std::lock_guard lock(m_mutex);
        if (m_bClosed) {
            return false;
        }
        m_posted.push_back(std::move(item));
    }
    Wake();
    return true;
}

bool MessageQueue::Deliver(const std::shared_ptr<SentItem>& item) {
    {
        std::lock_guard lock(m_mutex);
        if (m_bClosed) {
            return false;
        }
        m_sent.push_back(item);
    }
    Wake();
    return true;
}

void MessageQueue::Complete(SentItem& item, LRESULT result) {
    item.result = result;
    if (item.sender) {
        std::lock_guard lock(item.sender->m_mutex);
        item.completed = true;
        item.sender->m_changed.notify_all();
    } else {
        std::lock_guard lock(item.mutex);
        item.completed = true;
        item.done.notify_all();
    }
}

void MessageQueue::Wake() {
    m_changed.notify_all();
    g_main_context_wakeup(m_pContext);
}

bool MessageQueue::HasWork() {
    std::lock_guard lock(m_mutex);
    return !m_sent.empty() || !m_posted.empty() || m_bQuitPending;
}

void MessageQueue::RequestQuit(int exitCode) {
    {
        std::lock_guard lock(m_mutex);
        m_bQuitPending = true;
        m_nQuitCode = exitCode;
    }
    Wake();
}

bool MessageQueue::DispatchOne() {
    std::shared_ptr<SentItem> sent;
    PostedItem posted;
    {
        std::lock_guard lock(m_mutex);
        if (!m_sent.empty()) {
            sent = std::move(m_sent.front());
            m_sent.pop_front();
        } else if (!m_posted.empty()) {
            posted = std::move(m_posted.front());
            m_posted.pop_front();
        } else if (m_bQuitPending) {
            m_bQuitPending = false;
            m_bQuit = true;
            return true;
        } else {
            return false;
        }
    }
    if (sent) {
        HandleSent(*sent);
    } else {
        HandlePosted(posted);
    }
    return true;
}

void MessageQueue::WaitForReply(SentItem& item) {
    std::unique_lock lock(m_mutex);
    while (!item.completed) {
        if (!m_sent.empty()) {
            auto incoming = std::move(m_sent.front());
            m_sent.pop_front();
            lock.unlock();
            HandleSent(*incoming);
            lock.lock();
            continue;
        }
        m_changed.wait(lock);
    }
}

void MessageQueue::HandleSent(SentItem& item) {
    LRESULT result = 0;
    if (item.task != nullptr) {
        (*item.task)();
    } else {
        result = DeliverToWindow(item.hwnd, item.message, item.wParam, item.lParam);
    }
    Complete(item, result);
}

void MessageQueue::HandlePosted(PostedItem& item) {
    if (item.hwnd != nullptr) {
        DeliverToWindow(item.hwnd, item.message, item.wParam, item.lParam);
    } else if (item.task) {
        item.task();
    } else if (item.message == WM_QUIT) {
        m_bQuit = true;
        m_nQuitCode = static_cast<int>(item.wParam);
    } else if (threadMessageHandler) {
        threadMessageHandler(item.message, item.wParam, item.lParam);
    }
}

int MessageQueue::TakeQuit() {
    m_bQuit = false;
    return m_nQuitCode;
}

void MessageQueue::Close() {
    std::deque<std::shared_ptr<SentItem>> waiting;
    std::deque<PostedItem> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_bClosed = true;
        waiting.swap(m_sent);
        dropped.swap(m_posted);
    }
    for (auto& item : waiting) {
        Complete(*item, 0);
    }
    g_source_destroy(m_pSource);
}

std::shared_ptr<MessageQueue> CurrentQueue() {
    return t_holder.queue;
}

std::shared_ptr<MessageQueue> EnsureCurrentQueue() {
    if (t_holder.queue) {
        return t_holder.queue;
    }
    const DWORD id = GetCurrentThreadId();
    std::shared_ptr<MessageQueue> queue;
    if (platform::IsUiThread()) {
        queue = std::make_shared<MessageQueue>(id, g_main_context_default());
    } else {
        GMainContext* context = g_main_context_new();
        g_main_context_push_thread_default(context);
        t_holder.pushedContext = true;
        queue = std::make_shared<MessageQueue>(id, context);
        g_main_context_unref(context);
    }
    {
        std::lock_guard lock(g_queuesMutex);
        Queues()[id] = queue;
    }
    t_holder.queue = queue;
    return queue;
}

std::shared_ptr<MessageQueue> FindQueue(DWORD threadId) {
    std::lock_guard lock(g_queuesMutex);
    auto found = Queues().find(threadId);
    return found == Queues().end() ? nullptr : found->second;
}

void ReleaseCurrentQueue() {
    auto queue = std::move(t_holder.queue);
    if (!queue) {
        return;
    }
    {
        std::lock_guard lock(g_queuesMutex);
        Queues().erase(queue->ThreadId());
    }
    // Windows and timers die with their thread, as on the original platform, but without
    // messages: the objects behind them may already be gone.
    ForgetWindowsOfThread(queue->ThreadId());
    KillTimersOfThread(queue->ThreadId());
    queue->Close();
    if (t_holder.pushedContext) {
        g_main_context_pop_thread_default(queue->Context());
        t_holder.pushedContext = false;
    }
}

}  // namespace platform::detail
