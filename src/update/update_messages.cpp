#include "update/update_messages.h"

#include <atomic>

namespace {
std::atomic<HWND> g_hMainWnd{nullptr};
}

void SetUpdateMainWindow(HWND hWnd) {
    g_hMainWnd.store(hWnd);
}

HWND GetUpdateMainWindow() {
    return g_hMainWnd.load();
}
