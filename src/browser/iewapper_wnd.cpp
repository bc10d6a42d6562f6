#include "browser/iewapper_wnd.h"

namespace {
constexpr DWORD kBrowserControlStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;
}  // namespace

CIEWapperWnd::~CIEWapperWnd() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
}

void CIEWapperWnd::NavigateTo(std::wstring url) {
    if (m_htmlCtrl.GetSafeHwnd() != nullptr) {
        m_htmlCtrl.Navigate2(url);
    }
}

void CIEWapperWnd::PreloadPage(std::wstring url) {
    if (m_htmlCtrl.CreateBrowser()) {
        m_htmlCtrl.Navigate2(url);
    }
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
            return 0;
        }
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
                    OnPageDocumentComplete(copy);
                    break;
                case PAGE_NOTIFY_NAVIGATE_ERROR:
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
