// CWnd: creation, destruction and the window procedure.
#include <algorithm>

#include "platform/linux/gtk_window.h"
#include "platform/linux/icon_object.h"
#include "platform/linux/timer_table.h"
#include "platform/linux/window_registry.h"
#include "platform/linux/window_state.h"
#include "platform/thread.h"

CWnd::CWnd() : m_pState(new State) {}

CWnd::~CWnd() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
    delete m_pState;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    return WindowRegistry::Find(hWnd);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam) {
    if (m_hWnd != nullptr) {
        return FALSE;
    }
    platform::EnsureMessageQueue();
    m_pState->Reset();
    State& state = *m_pState;
    state.threadId = GetCurrentThreadId();
    state.style = dwStyle;
    state.exStyle = dwExStyle;
    state.parent = pParentWnd;
    state.id = nID;
    state.text = lpszWindowName != nullptr ? lpszWindowName : L"";
    state.rect = rect;
    m_hWnd = WindowRegistry::Register(this, state.threadId);

    const bool messageOnly = dwStyle == 0 && dwExStyle == 0 && pParentWnd == nullptr;
    if (!messageOnly && !CreateNative()) {
        WindowRegistry::Unregister(m_hWnd);
        m_hWnd = nullptr;
        return FALSE;
    }
    // Children, and top-level windows owned by this one, go down with it.
    if (pParentWnd != nullptr) {
        pParentWnd->m_pState->children.push_back(this);
    }

    CREATESTRUCTW create{lpParam,
                         nullptr,
                         nullptr,
                         pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr,
                         int(rect.bottom - rect.top),
                         int(rect.right - rect.left),
                         int(rect.top),
                         int(rect.left),
                         LONG(dwStyle),
                         lpszWindowName,
                         lpszClassName,
                         dwExStyle};
    if (WindowProc(WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow();
        return FALSE;
    }
    if (m_hWnd == nullptr) {
        return FALSE;  // WM_CREATE destroyed the window itself
    }
    RECT client;
    GetClientRect(&client);
    WindowProc(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
    if ((dwStyle & WS_VISIBLE) != 0 && m_hWnd != nullptr) {
        ShowWindow(SW_SHOW);
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    const HWND hwnd = m_hWnd;
    if (hwnd == nullptr) {
        return FALSE;
    }
    const DWORD owner = WindowRegistry::OwnerThread(hwnd);
    if (owner == 0) {
        // Its thread ended and took the window with it; only the object is left.
        m_hWnd = nullptr;
        return FALSE;
    }
    if (owner != GetCurrentThreadId()) {
        BOOL result = FALSE;
        platform::SendTask(owner, [&] { result = DestroyWindow(); });
        return result;
    }
    State& state = *m_pState;
    if (state.destroying) {
        return FALSE;
    }
    state.destroying = true;

    WindowProc(WM_DESTROY, 0, 0);
    const auto children = state.children;
    for (CWnd* child : children) {
        child->DestroyWindow();
    }
    platform::detail::KillTimersOfWindow(hwnd);
    WindowProc(WM_NCDESTROY, 0, 0);
    if (auto* native = state.native.exchange(nullptr)) {
        // Queued rather than waited for: a thread that ends (its owner waiting for it, maybe
        // on the UI thread) must not need the UI thread to finish. Until the task runs the
        // widget's events find no window and are dropped.
        if (platform::IsUiThread()) {
            native->Destroy();
        } else {
            platform::PostTask(platform::GetUiThreadId(), [native] { native->Destroy(); });
        }
    }

    WindowRegistry::Unregister(hwnd);
    if (state.parent != nullptr) {
        auto& siblings = state.parent->m_pState->children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
    m_hWnd = nullptr;
    state.visible = false;
    CWinThread* thread = AfxGetThread();
    if (thread != nullptr && thread->m_pMainWnd == this) {
        thread->m_pMainWnd = nullptr;
        PostQuitMessage(0);
    }
    // Last: a self-deleting window frees itself here.
    PostNcDestroy();
    return TRUE;
}

// Widgets are made on the UI thread, whichever thread owns the window.
bool CWnd::CreateNative() {
    State& state = *m_pState;
    const bool child = (state.style & WS_CHILD) != 0;
    platform::gtk::NativeWindow* parentNative =
        state.parent != nullptr ? state.parent->m_pState->native.load() : nullptr;
    const platform::gtk::NativeWindow::Params params{m_hWnd,
                                                     state.threadId,
                                                     state.style,
                                                     state.exStyle,
                                                     state.text,
                                                     state.rect,
                                                     child ? parentNative : nullptr,
                                                     child ? nullptr : parentNative};
    platform::SendTask(platform::GetUiThreadId(),
                       [&] { state.native = platform::gtk::NativeWindow::Create(params); });
    return state.native != nullptr;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProc(message, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        DestroyWindow();
    } else if (message == WM_SETICON) {
        return platform::detail::SetWindowIconMessage(m_hWnd, wParam, lParam);
    }
    return 0;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageW(m_hWnd, message, wParam, lParam);
}

UINT_PTR CWnd::SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC lpfnTimer) {
    return m_hWnd != nullptr ? ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer) : 0;
}

BOOL CWnd::KillTimer(UINT_PTR nIDEvent) {
    return m_hWnd != nullptr ? ::KillTimer(m_hWnd, nIDEvent) : FALSE;
}

CWnd* CWnd::GetParent() const {
    return m_pState->parent;
}

UINT CWnd::GetDlgCtrlID() const {
    return m_pState->id;
}

DWORD CWnd::GetStyle() const {
    return m_pState->style;
}

DWORD CWnd::GetExStyle() const {
    return m_pState->exStyle;
}
