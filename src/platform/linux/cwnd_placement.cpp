// CWnd: text, styles, placement, visibility. A message-only window keeps these as state;
// a window with a widget forwards them to it.
#include "platform/linux/window_state.h"

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd) {
    const DWORD before = m_pState->exStyle;
    m_pState->exStyle = (before & ~dwRemove) | dwAdd;
    return m_pState->exStyle != before;
}

void CWnd::SetWindowText(LPCWSTR lpszString) {
    m_pState->text = lpszString != nullptr ? lpszString : L"";
}

std::wstring CWnd::GetWindowText() const {
    return m_pState->text;
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint) {
    SetWindowPos(nullptr, x, y, nWidth, nHeight, SWP_NOZORDER);
}

BOOL CWnd::SetWindowPos(HWND hWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags) {
    if (m_hWnd == nullptr) {
        return FALSE;
    }
    RECT& rect = m_pState->rect;
    if ((nFlags & SWP_NOMOVE) == 0) {
        const LONG width = rect.right - rect.left;
        const LONG height = rect.bottom - rect.top;
        rect = {x, y, x + width, y + height};
    }
    if ((nFlags & SWP_NOSIZE) == 0) {
        rect.right = rect.left + cx;
        rect.bottom = rect.top + cy;
    }
    if ((nFlags & SWP_SHOWWINDOW) != 0) {
        ShowWindow(SW_SHOWNA);
    } else if ((nFlags & SWP_HIDEWINDOW) != 0) {
        ShowWindow(SW_HIDE);
    }
    return TRUE;
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    if (m_hWnd == nullptr) {
        return FALSE;
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
    return m_hWnd != nullptr && m_pState->visible ? TRUE : FALSE;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    const bool wasDisabled = !m_pState->enabled;
    m_pState->enabled = bEnable != FALSE;
    return wasDisabled ? TRUE : FALSE;
}

BOOL CWnd::IsWindowEnabled() const {
    return m_pState->enabled ? TRUE : FALSE;
}

void CWnd::CenterWindow(CWnd* pAlternateOwner) {}

void CWnd::GetClientRect(RECT* lpRect) const {
    const RECT& rect = m_pState->rect;
    *lpRect = {0, 0, rect.right - rect.left, rect.bottom - rect.top};
}

void CWnd::GetWindowRect(RECT* lpRect) const {
    *lpRect = m_pState->rect;
}

BOOL CWnd::SetForegroundWindow() {
    return m_hWnd != nullptr ? TRUE : FALSE;
}

void CWnd::SetIconFromFile(LPCWSTR path) {}
