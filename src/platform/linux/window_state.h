// The private part of a CWnd on Linux.
#pragma once

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
    // The widget side; null for a message-only window.
    platform::gtk::NativeWindow* native = nullptr;
};
