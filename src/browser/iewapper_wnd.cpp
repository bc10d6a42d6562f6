#include "browser/iewapper_wnd.h"

#include "app/helpers.h"
#include "app/log.h"

namespace {
constexpr DWORD kBrowserControlStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;
}  // namespace

UINT CIEWapperWnd::s_nPageLoadBoundMs = 10000;

CIEWapperWnd::~CIEWapperWnd() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

void CIEWapperWnd::NavigateTo(std::wstring url) {
    if (m_htmlCtrl.GetSafeHwnd() != nullptr) {
        WatchPageLoad(url);
        m_htmlCtrl.Navigate2(url);
    }
}

void CIEWapperWnd::PreloadPage(std::wstring url) {
    if (m_htmlCtrl.CreateBrowser()) {
        WatchPageLoad(url);
        m_htmlCtrl.Navigate2(url);
    }
}

void CIEWapperWnd::WatchPageLoad(const std::wstring& url) {
    m_strLoadingUrl = url;
    if (m_hWnd != nullptr) {
        SetTimer(ID_TIMER_PAGE_LOAD_BOUND, s_nPageLoadBoundMs);
    }
}

void CIEWapperWnd::EndPageLoadWatch() {
    m_strLoadingUrl.clear();
    if (m_hWnd != nullptr) {
        KillTimer(ID_TIMER_PAGE_LOAD_BOUND);
    }
}

void CIEWapperWnd::OnPageLoadBound() {
    const std::wstring url = m_strLoadingUrl;
    EndPageLoadWatch();
    if (url.empty()) {
        return;
    }
    // A service page's query may carry what the log must not.
    WriteLog(warning, L"page \"%ls\" has not loaded within %u s: its window shows what it has",
             UrlPathOf(url).c_str(), s_nPageLoadBoundMs / 1000);
    OnPageLoadOverdue(url);
}

void CIEWapperWnd::OnPageTitleChange(std::wstring title) {
    SetWindowText(title.c_str());
}

LRESULT CIEWapperWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            if (CWnd::WindowProc(message, wParam, lParam) == -1) {
                return -1;
            }
            CenterWindow();
            // The first WM_SIZE gives the control its size; a control that cannot be made
            // leaves the window empty.
            m_htmlCtrl.Create(nullptr, nullptr, kBrowserControlStyle, RECT{0, 0, 0, 0}, this,
                              static_cast<UINT>(-1));
            m_htmlCtrl.m_nNotifyMsg = WM_PAGE_NOTIFY;
            // A page preloaded before the window existed is waited for from now on.
            if (!m_strLoadingUrl.empty()) {
                WatchPageLoad(m_strLoadingUrl);
            }
            return 0;
        }
        case WM_TIMER:
            if (wParam == ID_TIMER_PAGE_LOAD_BOUND) {
                OnPageLoadBound();
                return 0;
            }
            return CWnd::WindowProc(message, wParam, lParam);
        case WM_SIZE: {
            LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            if (m_htmlCtrl.GetSafeHwnd() != nullptr) {
                RECT client;
                GetClientRect(&client);
                m_htmlCtrl.MoveWindow(client.left, client.top, client.right - client.left,
                                      client.bottom - client.top, FALSE);
            }
            return result;
        }
        case WM_SETFOCUS:
            // The keys belong to the page: Tab between its fields, copy and paste in them.
            if (m_htmlCtrl.GetSafeHwnd() != nullptr) {
                m_htmlCtrl.SetFocus();
            }
            return 0;
        case WM_ACTIVATE: {
            // Activated, also when restored from the tray or by the hotkey (not while minimised).
            const LRESULT result = CWnd::WindowProc(message, wParam, lParam);
            if (LOWORD(wParam) != WA_INACTIVE && HIWORD(wParam) == 0 &&
                m_htmlCtrl.GetSafeHwnd() != nullptr) {
                m_htmlCtrl.SetFocus();
            }
            return result;
        }
        case WM_PAGE_NOTIFY: {
            auto* text = reinterpret_cast<const wchar_t*>(lParam);
            std::wstring copy = text != nullptr ? text : L"";
            switch (wParam) {
                case PAGE_NOTIFY_TITLE_CHANGE:
                    OnPageTitleChange(copy);
                    break;
                case PAGE_NOTIFY_NAVIGATE_COMPLETE:
                    OnPageNavigateComplete(copy);
                    break;
                case PAGE_NOTIFY_DOCUMENT_COMPLETE:
                    EndPageLoadWatch();
                    OnPageDocumentComplete(copy);
                    break;
                case PAGE_NOTIFY_NAVIGATE_ERROR:
                    // A failure leaves nothing to show either: the bound still runs.
                    OnPageNavigateError(copy);
                    break;
                default:
                    break;
            }
            return 0;
        }
        default:
            return CWnd::WindowProc(message, wParam, lParam);
    }
}
