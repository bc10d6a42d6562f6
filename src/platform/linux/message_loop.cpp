// The message loops of every thread.
#include <chrono>

#include "platform/linux/message_queue.h"

namespace {

// How often a pumping loop looks at its condition when nothing else wakes it, so conditions
// changed by other threads are seen.
constexpr guint kPumpPollMs = 10;

}  // namespace

namespace platform {

void EnsureMessageQueue() {
    detail::EnsureCurrentQueue();
}

int RunMessageLoop() {
    auto queue = detail::EnsureCurrentQueue();
    while (!queue->QuitRequested()) {
        g_main_context_iteration(queue->Context(), TRUE);
    }
    return queue->TakeQuit();
}

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    auto queue = detail::EnsureCurrentQueue();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    GSource* poll = g_timeout_source_new(kPumpPollMs);
    g_source_set_callback(
        poll, [](gpointer) { return gboolean(G_SOURCE_CONTINUE); }, nullptr, nullptr);
    g_source_attach(poll, queue->Context());
    bool result = false;
    while (true) {
        if (done()) {
            result = true;
            break;
        }
        // WM_QUIT stays pending, so the outer loop ends as well.
        if (queue->QuitRequested()) {
            break;
        }
        if (timeoutMs != INFINITE && std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        g_main_context_iteration(queue->Context(), TRUE);
    }
    g_source_destroy(poll);
    g_source_unref(poll);
    return result;
}

bool RunModalLoop(const std::function<bool()>& done) {
    auto queue = detail::EnsureCurrentQueue();
    while (!done()) {
        if (queue->QuitRequested()) {
            return false;
        }
        g_main_context_iteration(queue->Context(), TRUE);
    }
    return true;
}

void SetThreadMessageHandler(std::function<void(UINT, WPARAM, LPARAM)> handler) {
    detail::EnsureCurrentQueue()->threadMessageHandler = std::move(handler);
}

}  // namespace platform
