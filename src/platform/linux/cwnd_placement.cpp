// CWnd: text, styles, placement, visibility. A message-only window keeps these as state; a
// window with a widget hands them to the UI thread, where its widget lives.
#include <algorithm>

#include "platform/linux/gtk_window.h"
#include "platform/linux/wide_text.h"
#include "platform/linux/window_state.h"

namespace {

void OnUiThread(const std::function<void()>& task) {
    platform::SendTask(platform::GetUiThreadId(), task);
}

}  // namespace

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd) {
    const DWORD before = m_pState->exStyle;
    const DWORD after = (before & ~dwRemove) | dwAdd;
    m_pState->exStyle = after;
    if (auto* native = m_pState->native.load(); native != nullptr && after != before) {
        OnUiThread([native, after] { native->SetExStyle(after); });
    }
    return after != before;
}

void CWnd::SetWindowText(LPCWSTR lpszString) {
    m_pState->text = lpszString != nullptr ? lpszString : L"";
    if (auto* native = m_pState->native.load()) {
        const std::wstring text = m_pState->text;
        OnUiThread([native, &text] { native->SetTitle(text); });
    }
}

std::wstring CWnd::GetWindowText() const {
    return m_pState->text;
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    SetWindowPos(nullptr, x, y, nWidth, nHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL CWnd::SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    const bool move = (nFlags & SWP_NOMOVE) == 0;
    const bool size = (nFlags & SWP_NOSIZE) == 0;
    const bool zorder = (nFlags & SWP_NOZORDER) == 0;
    if (zorder && hWndInsertAfter == HWND_TOPMOST) {
        m_pState->exStyle |= WS_EX_TOPMOST;
    } else if (zorder && hWndInsertAfter == HWND_NOTOPMOST) {
        m_pState->exStyle &= ~WS_EX_TOPMOST;
    }
    if (auto* native = m_pState->native.load()) {
        OnUiThread([=] {
            native->Place(x, y, cx, cy, move, size);
            if (zorder && (hWndInsertAfter == HWND_TOPMOST || hWndInsertAfter == HWND_NOTOPMOST)) {
                native->SetKeepAbove(hWndInsertAfter == HWND_TOPMOST);
            } else if (zorder && hWndInsertAfter == HWND_TOP) {
                native->Raise();
            }
        });
        // As on the original platform, the new client size reaches WM_SIZE before this
        // returns; should the window manager settle on another size, WM_SIZE follows it.
        SIZE client{};
        if (size && native->TakeClientSizeChange(&client)) {
            SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.cx, client.cy));
        }
    } else {
        RECT& rect = m_pState->rect;
        if (move) {
            rect = {x, y, x + (rect.right - rect.left), y + (rect.bottom - rect.top)};
        }
        if (size) {
            rect.right = rect.left + cx;
            rect.bottom = rect.top + cy;
        }
    }
    if ((nFlags & SWP_SHOWWINDOW) != 0) {
        ShowWindow((nFlags & SWP_NOACTIVATE) != 0 ? SW_SHOWNA : SW_SHOW);
    } else if ((nFlags & SWP_HIDEWINDOW) != 0) {
        ShowWindow(SW_HIDE);
    }
    return TRUE;
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    if (auto* native = m_pState->native.load()) {
        const bool wasShown = native->IsShown();
        // The widget's show and hide signals send WM_SHOWWINDOW.
        OnUiThread([native, nCmdShow] { native->Show(nCmdShow); });
        return wasShown ? TRUE : FALSE;
    }
    const bool wasVisible = m_pState->visible;
    const bool show = nCmdShow != SW_HIDE;
    if (show != wasVisible) {
        m_pState->visible = show;
        WindowProc(WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    }
    return wasVisible ? TRUE : FALSE;
}

BOOL CWnd::IsWindowVisible() const {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    const bool own =
        m_pState->native.load() != nullptr ? m_pState->native.load()->IsShown() : m_pState->visible;
    // A child is visible only while its parent is.
    if (own && (m_pState->style & WS_CHILD) != 0 && m_pState->parent != nullptr) {
        return m_pState->parent->IsWindowVisible();
    }
    return own ? TRUE : FALSE;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    const bool wasDisabled = !m_pState->enabled;
    m_pState->enabled = bEnable != FALSE;
    if (auto* native = m_pState->native.load()) {
        OnUiThread([native, bEnable] { native->Enable(bEnable != FALSE); });
    }
    return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    return m_pState->enabled ? TRUE : FALSE;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {
    if (m_hWnd == nullptr) {
        return;
    }
    RECT self{};
    GetWindowRect(&self);
    const LONG width = self.right - self.left;
    const LONG height = self.bottom - self.top;
    const bool child = (m_pState->style & WS_CHILD) != 0;
    RECT bounds{};
    RECT centreOver{};
    if (child && m_pState->parent != nullptr) {
        // A child centres in its parent's client area.
        m_pState->parent->GetClientRect(&bounds);
        centreOver = bounds;
    } else {
        if (!GetWorkArea(&bounds)) {
            return;
        }
        centreOver = bounds;
        CWnd* owner = pAlternateOwner != nullptr ? pAlternateOwner : m_pState->parent;
        if (owner != nullptr && owner->m_hWnd != nullptr && owner->IsWindowVisible()) {
            owner->GetWindowRect(&centreOver);
        }
    }
    LONG x = centreOver.left + ((centreOver.right - centreOver.left) - width) / 2;
    LONG y = centreOver.top + ((centreOver.bottom - centreOver.top) - height) / 2;
    // Keep the window inside the area where it may be seen, its top-left corner first.
    x = std::max(bounds.left, std::min(x, bounds.right - width));
    y = std::max(bounds.top, std::min(y, bounds.bottom - height));
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::GetClientRect(RECT* lpRect) const {
    if (auto* native = m_pState->native.load()) {
        const SIZE client = native->ClientSize();
        *lpRect = {0, 0, client.cx, client.cy};
        return;
    }
    const RECT& rect = m_pState->rect;
    *lpRect = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
}

void CWnd::GetWindowRect(RECT* lpRect) const {
    *lpRect =
        m_pState->native.load() != nullptr ? m_pState->native.load()->FrameRect() : m_pState->rect;
}

BOOL CWnd::SetForegroundWindow() {
    // As on Windows, a hidden window stays hidden: the tray menu brings its hidden owner forward.
    if (m_hWnd == nullptr || !IsWindowVisible()) {
        return FALSE;
    }
    if (auto* native = m_pState->native.load()) {
        OnUiThread([native] { native->Present(); });
    }
    return TRUE;
}

void CWnd::SetFocus() {
    if (auto* native = m_pState->native.load()) {
        OnUiThread([native] { native->Focus(); });
    }
}

void CWnd::SetIconFromFile(LPCWSTR path) {
    auto* native = m_pState->native.load();
    if (native == nullptr || path == nullptr) {
        return;
    }
    const std::string file = platform::detail::ToUtf8(path);
    OnUiThread([native, &file] { native->SetIcon(file); });
}
