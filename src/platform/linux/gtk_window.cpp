#include "platform/linux/gtk_window.h"

#include <gdk/gdkx.h>

#include <algorithm>

#include "platform/linux/wide_text.h"
#include "platform/linux/window_decorations.h"
#include "platform/linux/window_registry.h"
#include "platform/linux/window_state.h"
#include "platform/messages.h"
#include "platform/wnd.h"

namespace platform::gtk {
namespace {

// The original platform draws a window with a caption with a frame; a popup without one
// has none, and an overlapped window always has a caption.
bool IsDecorated(DWORD style) {
    if ((style & WS_CHILD) != 0) {
        return false;
    }
    return (style & WS_CAPTION) == WS_CAPTION || (style & WS_POPUP) == 0;
}

// Runs on the owning thread, after GTK has finished the allocation.
void ReportClientSize(HWND hwnd) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (wnd == nullptr) {
        return;
    }
    NativeWindow* native = WindowRegistry::StateOf(wnd)->native;
    SIZE size{};
    if (native != nullptr && native->TakeClientSizeChange(&size)) {
        wnd->SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(size.cx, size.cy));
    }
}

}  // namespace

NativeWindow::NativeWindow(const Params& params)
    : m_hWnd(params.hwnd),
      m_nOwnerThread(params.ownerThread),
      m_bTopLevel((params.style & WS_CHILD) == 0),
      m_bDecorated(IsDecorated(params.style)),
      m_bUserSizable(!m_bDecorated || (params.style & WS_THICKFRAME) != 0),
      m_pParent(params.parent) {}

NativeWindow* NativeWindow::Create(const Params& params) {
    if (gdk_display_get_default() == nullptr) {
        return nullptr;
    }
    if ((params.style & WS_CHILD) != 0 &&
        (params.parent == nullptr || params.parent->m_pContent == nullptr)) {
        return nullptr;
    }
    auto* native = new NativeWindow(params);
    native->Build(params);
    return native;
}

void NativeWindow::Build(const Params& params) {
    const RECT& rect = params.rect;
    const int cx = std::max<int>(rect.right - rect.left, 0);
    const int cy = std::max<int>(rect.bottom - rect.top, 0);
    if (m_bTopLevel) {
        m_pWidget = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        gtk_window_set_title(GTK_WINDOW(m_pWidget), detail::ToUtf8(params.title).c_str());
        gtk_window_set_decorated(GTK_WINDOW(m_pWidget), m_bDecorated);
        // Without a maximize box or a sizing border the user can neither maximize nor resize
        // the window; the program still sizes it, through the content's size request.
        if (m_bDecorated) {
            ApplyWindowFunctions(m_pWidget, params.style);
        }
        gtk_window_set_resizable(GTK_WINDOW(m_pWidget), m_bUserSizable);
        // A layout asks for no size itself, so the window can shrink below its children.
        m_pContent = gtk_layout_new(nullptr, nullptr);
        gtk_container_add(GTK_CONTAINER(m_pWidget), m_pContent);
        gtk_widget_show(m_pContent);
        if (params.owner != nullptr && params.owner->m_bTopLevel && params.owner->m_pWidget) {
            gtk_window_set_transient_for(GTK_WINDOW(m_pWidget),
                                         GTK_WINDOW(params.owner->m_pWidget));
        }
        SetExStyle(params.exStyle);
        g_signal_connect(m_pWidget, "delete-event", G_CALLBACK(OnDeleteEvent), this);
        g_signal_connect(m_pWidget, "configure-event", G_CALLBACK(OnConfigure), this);
    } else {
        m_pWidget = gtk_layout_new(nullptr, nullptr);
        m_pContent = m_pWidget;
        gtk_layout_put(GTK_LAYOUT(m_pParent->m_pContent), m_pWidget, rect.left, rect.top);
    }
    g_signal_connect(m_pWidget, "show", G_CALLBACK(OnShow), this);
    g_signal_connect(m_pWidget, "hide", G_CALLBACK(OnHide), this);
    g_signal_connect(m_pWidget, "destroy", G_CALLBACK(OnWidgetDestroyed), this);
    g_signal_connect(m_pContent, "size-allocate", G_CALLBACK(OnContentAllocate), this);
    Place(rect.left, rect.top, cx, cy, true, true);
    std::lock_guard lock(m_mutex);
    m_reported = m_client;  // CreateEx reports the first size itself
}

void NativeWindow::Destroy() {
    if (m_pWidget != nullptr) {
        g_signal_handlers_disconnect_by_data(m_pWidget, this);
        g_signal_handlers_disconnect_by_data(m_pContent, this);
        gtk_widget_destroy(m_pWidget);
    }
    delete this;
}

SIZE NativeWindow::ClientFromOuter(int cx, int cy) const {
    if (!m_bTopLevel || !m_bDecorated) {
        return {cx, cy};
    }
    return {cx - 2 * GetSystemMetrics(SM_CXBORDER),
            cy - GetSystemMetrics(SM_CYBORDER) - GetSystemMetrics(SM_CYCAPTION)};
}

void NativeWindow::SetTitle(const std::wstring& title) {
    if (m_bTopLevel && m_pWidget != nullptr) {
        gtk_window_set_title(GTK_WINDOW(m_pWidget), detail::ToUtf8(title).c_str());
    }
}

void NativeWindow::Place(int x, int y, int cx, int cy, bool move, bool size) {
    if (m_pWidget == nullptr) {
        return;
    }
    std::unique_lock lock(m_mutex);
    RECT frame = m_rcFrame;
    if (move) {
        frame = {x, y, x + (frame.right - frame.left), y + (frame.bottom - frame.top)};
    }
    if (size) {
        frame.right = frame.left + cx;
        frame.bottom = frame.top + cy;
        const SIZE client = ClientFromOuter(cx, cy);
        m_client = {std::max<LONG>(client.cx, 0), std::max<LONG>(client.cy, 0)};
    }
    m_rcFrame = frame;
    const SIZE client = m_client;
    lock.unlock();

    if (m_bTopLevel) {
        if (size) {
            // GTK refuses an empty window; the smallest it takes is 1 x 1.
            gtk_window_resize(GTK_WINDOW(m_pWidget), std::max<int>(client.cx, 1),
                              std::max<int>(client.cy, 1));
            if (!m_bUserSizable) {
                // A window that is not resizable takes the size its content asks for.
                gtk_widget_set_size_request(m_pContent, std::max<int>(client.cx, 1),
                                            std::max<int>(client.cy, 1));
            }
        }
        if (move) {
            gtk_window_move(GTK_WINDOW(m_pWidget), x, y);
        }
        return;
    }
    if (move) {
        gtk_layout_move(GTK_LAYOUT(m_pParent->m_pContent), m_pWidget, x, y);
    }
    if (size) {
        gtk_widget_set_size_request(m_pWidget, client.cx, client.cy);
        ApplyFillSize(client.cx, client.cy);
    }
}

void NativeWindow::ApplyFillSize(int width, int height) {
    if (m_pFill == nullptr) {
        return;
    }
    int currentWidth = -1, currentHeight = -1;
    gtk_widget_get_size_request(m_pFill, &currentWidth, &currentHeight);
    if (currentWidth != width || currentHeight != height) {
        gtk_widget_set_size_request(m_pFill, width, height);
    }
}

void NativeWindow::SetExStyle(DWORD exStyle) {
    if (!m_bTopLevel || m_pWidget == nullptr) {
        return;
    }
    const bool tool = (exStyle & WS_EX_TOOLWINDOW) != 0;
    gtk_window_set_skip_taskbar_hint(GTK_WINDOW(m_pWidget), tool);
    gtk_window_set_skip_pager_hint(GTK_WINDOW(m_pWidget), tool);
    gtk_window_set_keep_above(GTK_WINDOW(m_pWidget), (exStyle & WS_EX_TOPMOST) != 0);
}

void NativeWindow::SetKeepAbove(bool above) {
    if (m_bTopLevel && m_pWidget != nullptr) {
        gtk_window_set_keep_above(GTK_WINDOW(m_pWidget), above);
    }
}

void NativeWindow::Raise() {
    GdkWindow* window = m_pWidget != nullptr ? gtk_widget_get_window(m_pWidget) : nullptr;
    if (window != nullptr) {
        gdk_window_raise(window);
    }
}

void NativeWindow::Show(int nCmdShow) {
    if (m_pWidget == nullptr) {
        return;
    }
    if (nCmdShow == SW_HIDE) {
        gtk_widget_hide(m_pWidget);
        return;
    }
    if (!m_bTopLevel) {
        gtk_widget_show(m_pWidget);
        return;
    }
    GtkWindow* window = GTK_WINDOW(m_pWidget);
    switch (nCmdShow) {
        case SW_SHOWMINIMIZED:
        case SW_MINIMIZE:
            gtk_window_iconify(window);
            break;
        case SW_SHOWMAXIMIZED:
            gtk_window_maximize(window);
            break;
        case SW_RESTORE:
            gtk_window_deiconify(window);
            gtk_window_unmaximize(window);
            break;
        default:
            break;
    }
    // These show without taking the focus from the active window; the others activate it,
    // also when it is already on screen (a window restored from the tray comes to the front).
    const bool activate = nCmdShow != SW_SHOWNOACTIVATE && nCmdShow != SW_SHOWNA &&
                          nCmdShow != SW_MINIMIZE && nCmdShow != SW_SHOWMINIMIZED;
    if (activate) {
        gtk_widget_show(m_pWidget);
        Present();
        return;
    }
    gtk_window_set_focus_on_map(window, FALSE);
    gtk_widget_show(m_pWidget);
    gtk_window_set_focus_on_map(window, TRUE);
}

void NativeWindow::Enable(bool enable) {
    if (m_pWidget != nullptr) {
        gtk_widget_set_sensitive(m_pWidget, enable);
    }
}

void NativeWindow::Focus() {
    gtk_widget_grab_focus(m_pFill != nullptr ? m_pFill : m_pWidget);
}

void NativeWindow::Present() {
    if (!m_bTopLevel || m_pWidget == nullptr) {
        return;
    }
    GdkWindow* window = gtk_widget_get_window(m_pWidget);
    if (window != nullptr && GDK_IS_X11_WINDOW(window)) {
        // A current server time passes the window manager's focus-stealing check.
        gtk_window_present_with_time(GTK_WINDOW(m_pWidget), gdk_x11_get_server_time(window));
    } else {
        gtk_window_present(GTK_WINDOW(m_pWidget));
    }
}

void NativeWindow::SetIcon(const std::string& path) {
    if (m_bTopLevel && m_pWidget != nullptr) {
        gtk_window_set_icon_from_file(GTK_WINDOW(m_pWidget), path.c_str(), nullptr);
    }
}

void NativeWindow::SetFill(GtkWidget* content) {
    if (m_pContent == nullptr || content == m_pFill) {
        return;
    }
    if (m_pFill != nullptr) {
        gtk_container_remove(GTK_CONTAINER(m_pContent), m_pFill);
    }
    m_pFill = content;
    if (content == nullptr) {
        return;
    }
    gtk_layout_put(GTK_LAYOUT(m_pContent), content, 0, 0);
    const SIZE client = ClientSize();
    ApplyFillSize(client.cx, client.cy);
    gtk_widget_show(content);
}

RECT NativeWindow::FrameRect() {
    std::lock_guard lock(m_mutex);
    return m_rcFrame;
}

SIZE NativeWindow::ClientSize() {
    std::lock_guard lock(m_mutex);
    return m_client;
}

bool NativeWindow::IsShown() {
    std::lock_guard lock(m_mutex);
    return m_bShown;
}

bool NativeWindow::TakeClientSizeChange(SIZE* size) {
    std::lock_guard lock(m_mutex);
    if (m_client.cx == m_reported.cx && m_client.cy == m_reported.cy) {
        return false;
    }
    m_reported = m_client;
    *size = m_client;
    return true;
}

gboolean NativeWindow::OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self) {
    // The window procedure decides: the default destroys, a subclass may hide instead.
    SendMessageW(static_cast<NativeWindow*>(self)->m_hWnd, WM_CLOSE, 0, 0);
    return TRUE;
}

void NativeWindow::OnShow(GtkWidget*, gpointer self) {
    auto* native = static_cast<NativeWindow*>(self);
    {
        std::lock_guard lock(native->m_mutex);
        native->m_bShown = true;
    }
    SendMessageW(native->m_hWnd, WM_SHOWWINDOW, TRUE, 0);
}

void NativeWindow::OnHide(GtkWidget*, gpointer self) {
    auto* native = static_cast<NativeWindow*>(self);
    {
        std::lock_guard lock(native->m_mutex);
        native->m_bShown = false;
    }
    SendMessageW(native->m_hWnd, WM_SHOWWINDOW, FALSE, 0);
}

gboolean NativeWindow::OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self) {
    // The event has the client area in root coordinates; the frame around it is what the
    // window manager draws, which the frame metrics describe.
    auto* native = static_cast<NativeWindow*>(self);
    int left = 0, top = 0, right = 0, bottom = 0;
    if (native->m_bDecorated) {
        left = right = GetSystemMetrics(SM_CXBORDER);
        top = GetSystemMetrics(SM_CYCAPTION);
        bottom = GetSystemMetrics(SM_CYBORDER);
    }
    std::lock_guard lock(native->m_mutex);
    native->m_rcFrame = {event->x - left, event->y - top, event->x + event->width + right,
                         event->y + event->height + bottom};
    return FALSE;
}

void NativeWindow::OnContentAllocate(GtkWidget*, GdkRectangle* allocation, gpointer self) {
    auto* native = static_cast<NativeWindow*>(self);
    bool changed = false;
    {
        std::lock_guard lock(native->m_mutex);
        native->m_client = {allocation->width, allocation->height};
        changed = native->m_client.cx != native->m_reported.cx ||
                  native->m_client.cy != native->m_reported.cy;
    }
    native->ApplyFillSize(allocation->width, allocation->height);
    if (changed) {
        const HWND hwnd = native->m_hWnd;
        platform::PostTask(native->m_nOwnerThread, [hwnd] { ReportClientSize(hwnd); });
    }
}

void NativeWindow::OnWidgetDestroyed(GtkWidget*, gpointer self) {
    // Something other than DestroyWindow took the widget down; the window follows it.
    auto* native = static_cast<NativeWindow*>(self);
    native->m_pWidget = nullptr;
    native->m_pContent = nullptr;
    native->m_pFill = nullptr;
    const HWND hwnd = native->m_hWnd;
    platform::PostTask(native->m_nOwnerThread, [hwnd] {
        if (CWnd* wnd = CWnd::FromHandle(hwnd)) {
            wnd->DestroyWindow();
        }
    });
}

}  // namespace platform::gtk
