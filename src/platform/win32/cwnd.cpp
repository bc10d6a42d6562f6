// CWnd over real windows: every window class registered here has one procedure, which finds
// the object through a window property and calls its WindowProc. A window created with a class
// name gets that class (others find the main window by it); without one, the generic class. A
// window with style 0, no extended style and no parent is message-only (HWND_MESSAGE).
#include <windows.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <string>

#include "platform/wnd.h"

struct CWnd::State {};

namespace {

constexpr wchar_t kClassName[] = L"SongDeckWnd";
constexpr wchar_t kObjectProperty[] = L"SongDeck.CWnd";
// The object whose window CreateWindowExW is making on this thread: the first messages
// (WM_NCCREATE, WM_CREATE) arrive before CreateWindowExW returns the handle.
thread_local CWnd* t_creating = nullptr;

LRESULT CALLBACK WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* wnd = static_cast<CWnd*>(GetPropW(hwnd, kObjectProperty));
    if (wnd == nullptr && t_creating != nullptr) {
        wnd = t_creating;
        t_creating = nullptr;
        wnd->m_hWnd = hwnd;
        SetPropW(hwnd, kObjectProperty, wnd);
    }
    if (wnd == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_DPICHANGED && lParam != 0) {
        // Moved to a monitor of another scale: Windows suggests where the window keeps its
        // logical size; the browser control zooms on its own message.
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(hwnd, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    if (message != WM_NCDESTROY) {
        return wnd->WindowProc(message, wParam, lParam);
    }
    const LRESULT result = wnd->WindowProc(message, wParam, lParam);
    RemovePropW(hwnd, kObjectProperty);
    wnd->m_hWnd = nullptr;
    CWinThread* thread = AfxGetThread();
    if (thread != nullptr && thread->m_pMainWnd == wnd) {
        thread->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    // Last: a self-deleting window frees itself here.
    wnd->PostNcDestroy();
    return result;
}

// The class for a window: the one named (registered on first use), or the generic one. Names
// of the system's classes ("#32770") are never registered over.
LPCWSTR RegisterWindowClass(LPCWSTR requested) {
    static std::mutex mutex;
    static std::map<std::wstring, ATOM> classes;
    const std::wstring name = requested != nullptr && requested[0] != L'\0' && requested[0] != L'#'
                                  ? requested
                                  : kClassName;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = classes.find(name);
    if (found == classes.end()) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = WndProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.lpszClassName = name.c_str();
        found = classes.emplace(name, RegisterClassExW(&windowClass)).first;
    }
    // The atom stands for the name; 0 (a failed registration) lets the creation fail.
    return MAKEINTATOM(found->second);
}

}  // namespace

CWnd::CWnd() : m_pState(new State) {}

CWnd::~CWnd() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
    delete m_pState;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    return hWnd != nullptr ? static_cast<CWnd*>(GetPropW(hWnd, kObjectProperty)) : nullptr;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
    if (m_hWnd != nullptr) {
        return FALSE;
    }
    LPCWSTR windowClass = RegisterWindowClass(lpszClassName);
    platform::EnsureMessageQueue();
    const bool messageOnly = dwStyle == 0 && dwExStyle == 0 && pParentWnd == nullptr;
    HWND parent = messageOnly ? HWND_MESSAGE : (pParentWnd ? pParentWnd->m_hWnd : nullptr);
    HMENU menuOrId =
        (dwStyle & WS_CHILD) ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)) : nullptr;
    t_creating = this;
    HWND hwnd =
        CreateWindowExW(dwExStyle, windowClass, lpszWindowName ? lpszWindowName : L"", dwStyle,
                        rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, parent,
                        menuOrId, GetModuleHandleW(nullptr), lpParam);
    t_creating = nullptr;
    return hwnd != nullptr ? TRUE : FALSE;
}

BOOL CWnd::DestroyWindow() {
    const HWND hwnd = m_hWnd;
    if (hwnd == nullptr) {
        return FALSE;
    }
    const DWORD owner = GetWindowThreadProcessId(hwnd, nullptr);
    if (owner == 0) {
        m_hWnd = nullptr;  // its thread ended and took the window with it
        return FALSE;
    }
    if (owner != GetCurrentThreadId()) {
        // Windows destroys a window only on its own thread.
        BOOL result = FALSE;
        platform::SendTask(owner, [&] { result = DestroyWindow(); });
        return result;
    }
    return ::DestroyWindow(hwnd);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer);
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return ::KillTimer(m_hWnd, nIDEvent);
}

CWnd* CWnd::GetParent() const {
    return FromHandle(::GetParent(m_hWnd));
}

UINT CWnd::GetDlgCtrlID() const {
    return static_cast<UINT>(::GetDlgCtrlID(m_hWnd));
}

DWORD CWnd::GetStyle() const {
    return static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_STYLE));
}

DWORD CWnd::GetExStyle() const {
    return static_cast<DWORD>(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE));
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd) {
    const DWORD old = GetExStyle();
    const DWORD changed = (old & ~dwRemove) | dwAdd;
    if (changed == old) {
        return FALSE;
    }
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, static_cast<LONG_PTR>(changed));
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    return TRUE;
}

void CWnd::SetWindowText(LPCWSTR lpszString) {
    ::SetWindowTextW(m_hWnd, lpszString);
}

std::wstring CWnd::GetWindowText() const {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint);
}

BOOL CWnd::SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    return ::SetWindowPos(m_hWnd, hWndInsertAfter, x, y, cx, cy, nFlags);
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    return ::ShowWindow(m_hWnd, nCmdShow);
}

BOOL CWnd::IsWindowVisible() const {
    return ::IsWindowVisible(m_hWnd);
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    return ::EnableWindow(m_hWnd, bEnable);
}

BOOL CWnd::IsWindowEnabled() const {
    return ::IsWindowEnabled(m_hWnd);
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    ::GetClientRect(m_hWnd, lpRect);
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    ::GetWindowRect(m_hWnd, lpRect);
    if (GetStyle() & WS_CHILD) {
        // A child's place in its parent's client area.
        MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(lpRect), 2);
    }
}

BOOL CWnd::SetForegroundWindow() {
    return ::SetForegroundWindow(m_hWnd);
}

void CWnd::SetFocus() {
    ::SetFocus(m_hWnd);
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    RECT bounds{};
    HWND owner = pAlternateOwner != nullptr ? pAlternateOwner->m_hWnd : ::GetParent(m_hWnd);
    const bool child = (GetStyle() & WS_CHILD) != 0;
    if (child && owner != nullptr) {
        ::GetClientRect(owner, &bounds);
    } else if (owner != nullptr && ::IsWindowVisible(owner)) {
        ::GetWindowRect(owner, &bounds);
    } else {
        GetWorkArea(&bounds);
    }
    const LONG width = window.right - window.left;
    const LONG height = window.bottom - window.top;
    LONG x = bounds.left + (bounds.right - bounds.left - width) / 2;
    LONG y = bounds.top + (bounds.bottom - bounds.top - height) / 2;
    RECT work{};
    if (!child && GetWorkArea(&work)) {
        x = std::max(work.left, std::min(x, work.right - width));
        y = std::max(work.top, std::min(y, work.bottom - height));
    }
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetWorkArea(RECT* rect) {
    return SystemParametersInfoW(SPI_GETWORKAREA, 0, rect, 0);
}

namespace platform {

double MonitorScale(HWND hwnd) {
    // Per monitor where Windows knows it (10, 1607 and later), else the system's one scale.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = hwnd != nullptr && dpiForWindow != nullptr ? dpiForWindow(hwnd) : 0;
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi / 96.0 : 1.0;
}

SIZE CaptionedWindowSize(int width, int height) {
    // The frame of the client's captioned windows: caption, system menu, no sizing border.
    RECT frame{0, 0, width, height};
    AdjustWindowRectEx(&frame, WS_POPUP | WS_CAPTION | WS_SYSMENU, FALSE, 0);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

}  // namespace platform
