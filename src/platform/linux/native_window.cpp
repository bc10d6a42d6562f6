#include "platform/linux/native_window.h"

#include "platform/linux/gtk_window.h"
#include "platform/linux/window_registry.h"
#include "platform/linux/window_state.h"

namespace platform::gtk {
namespace {

NativeWindow* NativeOf(HWND hwnd) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    return wnd != nullptr ? WindowRegistry::StateOf(wnd)->native.load() : nullptr;
}

}  // namespace

GtkWidget* GetWindowWidget(HWND hwnd) {
    NativeWindow* native = NativeOf(hwnd);
    return native != nullptr ? native->Widget() : nullptr;
}

GtkWidget* GetContentContainer(HWND hwnd) {
    NativeWindow* native = NativeOf(hwnd);
    return native != nullptr ? native->Content() : nullptr;
}

void SetChildContent(HWND child, GtkWidget* content) {
    NativeWindow* native = NativeOf(child);
    if (native != nullptr) {
        native->SetFill(content);
    }
}

}  // namespace platform::gtk
