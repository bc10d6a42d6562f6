// The window framework's window object. A CWnd is registered under a handle (m_hWnd) owned
// by the thread that created it; its messages run on that thread through WindowProc.
//
// On Linux a window with WS_CHILD is a widget inside its parent, any other window with a style
// or extended style is a GtkWindow, and a window with style 0, no extended style and no parent
// is message-only (it has no widget and can live on any thread). Widgets always live on the
// UI thread: a window created on another thread has its widget made and changed there, and its
// widget events are sent to the owning thread.
#pragma once

#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/thread.h"
#include "platform/types.h"

#ifndef _WIN32

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000;

constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;

// SetWindowPos.
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)-1)
#define HWND_NOTOPMOST ((HWND)-2)
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;

// System metrics.
constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYCAPTION = 4;
constexpr int SM_CXBORDER = 5;
constexpr int SM_CYBORDER = 6;
constexpr int SM_CXICON = 11;
constexpr int SM_CYICON = 12;
int GetSystemMetrics(int nIndex);

// WM_CREATE's lParam points at the creation parameters.
struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    void* hInstance;
    void* hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};

#endif

// The screen's work area (the screen less panels that reserve their place).
BOOL GetWorkArea(RECT* rect);

class CWnd {
public:
    CWnd();
    // Destroys the window if it still exists.
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    // The window object registered under a handle; null for an unknown handle.
    static CWnd* FromHandle(HWND hWnd);

    // Creates the window on the calling thread (which must run a message loop), sends
    // WM_CREATE (a result of -1 fails the creation, after WM_DESTROY and WM_NCDESTROY), then
    // WM_SIZE with the client size; WS_VISIBLE shows it. On Windows the window gets the class
    // named (others find it by that); Linux does not use it.
    virtual BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName,
                          DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                          LPVOID lpParam = nullptr);
    // Sends WM_DESTROY to this window, destroys its children, then sends WM_NCDESTROY, after
    // which the handle is invalid, m_hWnd is null and PostNcDestroy runs. Called on another
    // thread, the destruction runs on the owning thread while the caller waits. Destroying a
    // thread's main window ends that thread's loop (WM_QUIT with 0).
    virtual BOOL DestroyWindow();

    // The window procedure; the default handling of a message is DefWindowProc.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Default handling: WM_CLOSE destroys the window, everything else answers 0.
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs after the last message of the window; a self-deleting window deletes itself here.
    virtual void PostNcDestroy() {}

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer = nullptr);
    BOOL KillTimer(UINT_PTR nIDEvent);

    CWnd* GetParent() const;
    UINT GetDlgCtrlID() const;
    DWORD GetStyle() const;
    DWORD GetExStyle() const;
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd);

    void SetWindowText(LPCWSTR lpszString);
    std::wstring GetWindowText() const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    // For a top-level window x, y, cx, cy are its outer frame; the client area is what is
    // left inside the frame metrics. A size change sends WM_SIZE before this returns.
    BOOL SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags);
    // Returns whether the window was visible. Commands other than SW_HIDE, SW_SHOWNA,
    // SW_SHOWNOACTIVATE and the minimising ones activate the window.
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    // Centres over the owner (the alternate, else the parent) when it is visible, else over
    // the work area, keeping the window inside the work area; a child centres in its parent.
    void CenterWindow(CWnd* pAlternateOwner = nullptr);
    // Client rectangle: (0, 0, width, height) of the area inside the frame: the size GTK gave
    // the content, or the size last asked for until GTK has allocated it.
    void GetClientRect(RECT* lpRect) const;
    // For a top-level window its frame in screen coordinates (as the window manager reports
    // it, or as last placed); for a child its place in the parent's client area.
    void GetWindowRect(RECT* lpRect) const;
    BOOL SetForegroundWindow();
    // Gives the window the keyboard focus (a child control: to what it shows).
    void SetFocus();
    // Sets the window's icon from a PNG of the resources folder (big and small alike).
    void SetIconFromFile(LPCWSTR path);

private:
    bool CreateNative();

    struct State;
    friend struct WindowRegistry;
    State* m_pState = nullptr;
};

// The window framework's UI thread: its own message loop, thread messages, InitInstance and
// ExitInstance around the loop.
class CWinThread {
public:
    CWinThread();
    // Does not stop the thread; owners post WM_QUIT and wait first. Closes m_hThread (an
    // owner that closes the handle itself sets the field null).
    virtual ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    // Creates the thread and its message queue (the queue exists when this returns); with
    // CREATE_SUSPENDED it waits for ResumeThread before InitInstance. Messages posted
    // meanwhile are kept.
    BOOL CreateThread(DWORD dwCreateFlags = 0);
    // Returns the previous suspend count (1 when it was suspended, else 0).
    DWORD ResumeThread();
    BOOL PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // FALSE ends the thread at once (ExitInstance still runs).
    virtual BOOL InitInstance() { return TRUE; }
    // Returns the thread's exit code; by default the code WM_QUIT carried.
    virtual int ExitInstance() { return m_nExitCode; }
    // A thread message reached the loop (the message map of thread messages).
    virtual void OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {}
    // Runs the calling thread's loop with this object as its thread object until WM_QUIT,
    // then returns ExitInstance(). The thread entry calls it after InitInstance; the UI
    // thread's application object may call it on the main thread.
    virtual int Run();

    HANDLE m_hThread = nullptr;
    DWORD m_nThreadID = 0;
    CWnd* m_pMainWnd = nullptr;
    BOOL m_bAutoDelete = TRUE;

protected:
    int m_nExitCode = 0;

private:
    static unsigned ThreadEntry(void* self);
    HANDLE m_hStarted = nullptr;
    HANDLE m_hResume = nullptr;
    bool m_bSuspended = false;
};

// The thread object of the calling thread (its CWinThread, or the object whose Run is
// running there); null on other threads.
CWinThread* AfxGetThread();

namespace platform {
// Initialises the window framework on the UI thread with the program's command line (the
// program's path first); false when no display can be opened.
bool InitGui(const std::vector<std::wstring>& commandLine);
// What InitGui chose that the log should say (the display of a Wayland session); often empty.
std::wstring DisplayNote();
// The outer size of a top-level window with a caption and a fixed frame (the client's page
// windows) whose client area is width x height: the frame the platform really draws.
SIZE CaptionedWindowSize(int width, int height);
// The scale of the monitor the window is on (the primary monitor's for null): its dots per
// inch over 96, 1.5 at 150 %. The system's sizes are logical (the pages' CSS pixels, the
// options'); windows get them times this. 1 where the window framework itself works in logical
// pixels (GTK).
double MonitorScale(HWND hwnd);
}  // namespace platform
