// The widget side of a CWnd. Widgets live on the UI thread: every method here runs there
// (CWnd hands calls over with SendTask), except the cached geometry getters, which any
// thread may call. Widget events are handed to the window's owning thread: WM_CLOSE and
// WM_SHOWWINDOW are sent (the UI thread waits for the answer), WM_SIZE is posted once the
// allocation is done, so the handler may move children freely.
#pragma once

#include <gtk/gtk.h>

#include <mutex>
#include <string>

#include "platform/types.h"

namespace platform::gtk {

class NativeWindow {
public:
    struct Params {
        HWND hwnd;
        DWORD ownerThread;
        DWORD style;
        DWORD exStyle;
        std::wstring title;
        RECT rect;
        NativeWindow* parent;  // the container of a WS_CHILD window
        NativeWindow* owner;   // the owner of a top-level window
    };

    // Null when no display is open or a child has no parent widget.
    static NativeWindow* Create(const Params& params);
    // Destroys the widgets and deletes this object.
    void Destroy();

    GtkWidget* Widget() const { return m_pWidget; }
    GtkWidget* Content() const { return m_pContent; }
    bool IsTopLevel() const { return m_bTopLevel; }

    void SetTitle(const std::wstring& title);
    // x, y, cx, cy as SetWindowPos takes them: the outer frame of a top-level window, the
    // place in the parent's client area of a child.
    void Place(int x, int y, int cx, int cy, bool move, bool size);
    void SetExStyle(DWORD exStyle);
    void SetKeepAbove(bool above);
    void Raise();
    void Show(int nCmdShow);
    void Enable(bool enable);
    void Present();
    // The keyboard focus to what the window shows (a child's content, e.g. its web view).
    void Focus();
    void SetIcon(const std::string& path);
    void SetFill(GtkWidget* content);

    RECT FrameRect();
    SIZE ClientSize();
    bool IsShown();
    // The client size WM_SIZE last reported; WM_SIZE goes out only when it changes.
    bool TakeClientSizeChange(SIZE* size);

private:
    explicit NativeWindow(const Params& params);
    void Build(const Params& params);
    SIZE ClientFromOuter(int cx, int cy) const;
    void ApplyFillSize(int width, int height);

    static gboolean OnDeleteEvent(GtkWidget*, GdkEvent*, gpointer self);
    static void OnShow(GtkWidget*, gpointer self);
    static void OnHide(GtkWidget*, gpointer self);
    static gboolean OnConfigure(GtkWidget*, GdkEventConfigure*, gpointer self);
    static void OnContentAllocate(GtkWidget*, GdkRectangle* allocation, gpointer self);
    static void OnWidgetDestroyed(GtkWidget*, gpointer self);

    const HWND m_hWnd;
    const DWORD m_nOwnerThread;
    const bool m_bTopLevel;
    const bool m_bDecorated;
    const bool m_bUserSizable;  // a frame the user may drag to another size
    GtkWidget* m_pWidget = nullptr;
    GtkWidget* m_pContent = nullptr;
    GtkWidget* m_pFill = nullptr;
    NativeWindow* m_pParent = nullptr;

    std::mutex m_mutex;  // guards the cached geometry below
    RECT m_rcFrame{};
    SIZE m_client{};
    SIZE m_reported{-1, -1};
    bool m_bShown = false;
};

}  // namespace platform::gtk
