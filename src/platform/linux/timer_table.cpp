#include "platform/linux/timer_table.h"

#include <glib.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <utility>

#include "platform/linux/message_queue.h"
#include "platform/linux/window_registry.h"
#include "platform/thread.h"

namespace platform::detail {
namespace {

// The shortest period the original platform allows; 0 means "as soon as possible" there too.
constexpr UINT kMinimumElapse = 10;

struct Timer {
    GSource* source;
    DWORD threadId;
};

struct TimerTick {
    HWND hwnd;
    UINT_PTR id;
    TIMERPROC proc;
};

std::mutex g_mutex;
std::map<std::pair<HWND, UINT_PTR>, Timer>& Timers() {
    static auto* timers = new std::map<std::pair<HWND, UINT_PTR>, Timer>;
    return *timers;
}
UINT_PTR g_nextThreadTimerId = 0x7FFF0000;

gboolean OnTick(gpointer data) {
    const auto* tick = static_cast<const TimerTick*>(data);
    if (tick->proc != nullptr) {
        tick->proc(tick->hwnd, WM_TIMER, tick->id, GetTickCount());
    } else {
        DeliverToWindow(tick->hwnd, WM_TIMER, tick->id, 0);
    }
    return G_SOURCE_CONTINUE;
}

void DestroySource(GSource* source) {
    g_source_destroy(source);
    g_source_unref(source);
}

}  // namespace

UINT_PTR StartTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
    const DWORD owner = hwnd != nullptr ? WindowOwnerThread(hwnd) : GetCurrentThreadId();
    auto queue = hwnd != nullptr ? FindQueue(owner) : EnsureCurrentQueue();
    if (owner == 0 || !queue) {
        return 0;
    }
    GSource* source = g_timeout_source_new(std::max(elapse, kMinimumElapse));
    // A modal loop inside a WM_TIMER handler must not stop the timer that started it.
    g_source_set_can_recurse(source, TRUE);

    std::lock_guard lock(g_mutex);
    if (hwnd == nullptr) {
        id = g_nextThreadTimerId++;
    }
    g_source_set_callback(source, OnTick, new TimerTick{hwnd, id, proc},
                          [](gpointer data) { delete static_cast<TimerTick*>(data); });
    auto& slot = Timers()[{hwnd, id}];
    if (slot.source != nullptr) {
        DestroySource(slot.source);  // setting an existing timer restarts it
    }
    slot = {source, owner};
    g_source_attach(source, queue->Context());
    return id == 0 ? 1 : id;
}

BOOL StopTimer(HWND hwnd, UINT_PTR id) {
    std::lock_guard lock(g_mutex);
    auto found = Timers().find({hwnd, id});
    if (found == Timers().end()) {
        return FALSE;
    }
    DestroySource(found->second.source);
    Timers().erase(found);
    return TRUE;
}

void KillTimersOfWindow(HWND hwnd) {
    std::lock_guard lock(g_mutex);
    auto& timers = Timers();
    auto it = timers.lower_bound({hwnd, 0});
    while (it != timers.end() && it->first.first == hwnd) {
        DestroySource(it->second.source);
        it = timers.erase(it);
    }
}

void KillTimersOfThread(DWORD threadId) {
    std::lock_guard lock(g_mutex);
    auto& timers = Timers();
    for (auto it = timers.begin(); it != timers.end();) {
        if (it->second.threadId == threadId) {
            DestroySource(it->second.source);
            it = timers.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace platform::detail
