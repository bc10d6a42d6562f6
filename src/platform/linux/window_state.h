// The private part of a CWnd on Linux.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "platform/wnd.h"

namespace platform::gtk {
class NativeWindow;
}

struct CWnd::State {
    DWORD threadId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    CWnd* parent = nullptr;
    UINT id = 0;
    std::wstring text;
    // Where the window was last placed: screen coordinates of the frame for a top-level
    // window, the parent's client coordinates for a child.
    RECT rect{};
    bool visible = false;
    bool enabled = true;
    bool destroying = false;
    std::vector<CWnd*> children;
    // The widget side; null for a message-only window. Atomic: the UI thread looks it up
    // while the owning thread may be letting it go.
    std::atomic<platform::gtk::NativeWindow*> native{nullptr};

    // Back to a fresh state for a new window (the widget side is already gone).
    void Reset() {
        threadId = 0;
        style = exStyle = 0;
        parent = nullptr;
        id = 0;
        text.clear();
        rect = {};
        visible = false;
        enabled = true;
        destroying = false;
        children.clear();
        native = nullptr;
    }
};
