#include "windows/message_wnd.h"

#include <new>

#include "windows/message_wnd_geometry.h"
#include "windows/window_size.h"

namespace {

// Posted to itself when a page fails to load after its opener has looked: a popup that can
// never show is not kept.
constexpr UINT WM_DESTROY_FAILED_POPUP = WM_USER + 1101;

constexpr DWORD kPopupExStyle = WS_EX_TOOLWINDOW;
// WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN and the class bits: no caption, invisible.
constexpr DWORD kPopupStyle = 0x8600C000;

LONG Width(const RECT& rect) {
    return rect.right - rect.left;
}

}  // namespace

CMessageWnd::CMessageWnd() = default;

CMessageWnd::~CMessageWnd() {
    m_bDeleting = true;
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
    delete m_pDispatch;
}

BOOL CMessageWnd::Create(int width, int height) {
    return CreateEx(kPopupExStyle, L"SongDeckMessageWnd", L"", kPopupStyle,
                    ScaledRect(RECT{0, 0, width, height}), nullptr, 0);
}

CMessageWnd* CMessageWnd::CreatePopup(int width, int height) {
    auto* popup = new (std::nothrow) CMessageWnd;
    if (popup == nullptr) {
        return nullptr;
    }
    bool deleted = false;
    popup->m_pDeletedFlag = &deleted;
    if (popup->Create(width, height)) {
        popup->m_pDeletedFlag = nullptr;
        return popup;
    }
    // A creation that fails before WM_CREATE leaves no window to delete the object with.
    if (!deleted) {
        delete popup;
    }
    return nullptr;
}

LRESULT CMessageWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            if (CIEWapperWnd::WindowProc(message, wParam, lParam) == -1) {
                return -1;
            }
            return OnCreate(*reinterpret_cast<const CREATESTRUCTW*>(lParam));
        case WM_CLOSE:
            // A hidden popup has nothing to slide.
            if (!m_bAnimateClose || !IsWindowVisible()) {
                DestroyWindow();
                return 0;
            }
            m_bClosing = true;
            KillTimer(ID_TIMER_SHOW);
            SetTimer(ID_TIMER_HIDE, kPopupSlideTickMs);
            return 0;
        case WM_TIMER:
            if (wParam == ID_TIMER_SHOW) {
                OnSlideInTick();
                return 0;
            }
            if (wParam == ID_TIMER_HIDE) {
                OnSlideOutTick();
                return 0;
            }
            break;
        case WM_DESTROY_FAILED_POPUP:
            DestroyWindow();
            return 0;
    }
    return CIEWapperWnd::WindowProc(message, wParam, lParam);
}

int CMessageWnd::OnCreate(const CREATESTRUCTW& create) {
    m_pDispatch = new CMainDispatchImp;
    m_pDispatch->RegisterHandler(&m_cmdIsClient);
    m_pDispatch->RegisterHandler(&m_cmdCloseWnd);
    m_pDispatch->RegisterHandler(&m_cmdGetAppVersion);
    m_pDispatch->RegisterHandler(&m_cmdRestartApp);
    m_htmlCtrl.m_pExternalDispatch = m_pDispatch;

    const int width = create.cx;
    const int height = create.cy;
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT workArea = screen;
    GetWorkArea(&workArea);
    RECT taskbar{};
    POINT at = TaskbarRectFromWorkArea(screen, workArea, &taskbar)
                   ? PlaceBesideTaskbar(taskbar, width, height)
                   : PlaceInWorkAreaCorner(workArea, width, height);
    Place(RECT{at.x, at.y, at.x + width, at.y + height}, HWND_TOPMOST,
          SWP_HIDEWINDOW | SWP_NOACTIVATE);
    return 0;
}

void CMessageWnd::OnPageDocumentComplete(std::wstring) {
    if (m_bNavigateFailed || m_bClosing) {
        return;
    }
    const RECT rect = m_rcWindow;
    if (Width(rect) <= 1) {
        int width = 0;
        int height = 0;
        m_htmlCtrl.GetPageSize(width, height);
        const double scale = platform::MonitorScale(m_hWnd);
        width = ScaledLength(width, scale);
        height = ScaledLength(height, scale);
        if (width > 0 && height > 0) {
            Place(RECT{rect.right - width, rect.bottom - height, rect.right, rect.bottom}, HWND_TOP,
                  SWP_HIDEWINDOW);
        }
    } else if (m_bSlideStarted) {
        // A frame that loads later: restarting from the half-grown rectangle would leave the
        // popup cut off, so the running slide goes on to its full height.
        return;
    }
    StartSlideIn();
}

void CMessageWnd::OnPageNavigateError(std::wstring) {
    m_bNavigateFailed = TRUE;
    PostMessage(WM_DESTROY_FAILED_POPUP);
}

void CMessageWnd::StartSlideIn() {
    m_bSlideStarted = true;
    m_rcTarget = m_rcWindow;
    Place(RECT{m_rcTarget.left, m_rcTarget.bottom, m_rcTarget.right, m_rcTarget.bottom},
          HWND_TOPMOST, SWP_NOREDRAW | SWP_NOACTIVATE);
    // Shown without taking the focus from what the user is typing into.
    ShowWindow(SW_SHOWNA);
    SetTimer(ID_TIMER_SHOW, kPopupSlideTickMs);
}

void CMessageWnd::OnSlideInTick() {
    RECT rect = m_rcWindow;
    if (rect.top <= m_rcTarget.top) {
        KillTimer(ID_TIMER_SHOW);
        return;
    }
    rect.top -= SlideStep(rect.top - m_rcTarget.top);
    Place(rect, HWND_TOPMOST, SWP_NOREDRAW | SWP_NOACTIVATE);
}

void CMessageWnd::OnSlideOutTick() {
    RECT rect = m_rcWindow;
    if (rect.top >= rect.bottom) {
        KillTimer(ID_TIMER_HIDE);
        DestroyWindow();  // deletes this object
        return;
    }
    rect.top += SlideStep(rect.bottom - rect.top);
    Place(rect, HWND_TOPMOST, SWP_NOACTIVATE);
}

void CMessageWnd::Place(const RECT& rect, HWND insertAfter, UINT flags) {
    m_rcWindow = rect;
    SetWindowPos(insertAfter, rect.left, rect.top, Width(rect), rect.bottom - rect.top, flags);
}

void CMessageWnd::PostNcDestroy() {
    if (!m_bDeleting) {
        if (m_pDeletedFlag != nullptr) {
            *m_pDeletedFlag = true;
        }
        delete this;
    }
}
