#include "windows/page_dialog_wnd.h"

#include "windows/window_icons.h"
#include "windows/window_size.h"

namespace {
// No minimize or maximize box, not resizable, invisible until the page has loaded.
constexpr DWORD kPageDialogStyle = 0x86C8C000;
}  // namespace

CPageDialogWnd::CPageDialogWnd(const RECT& rcInitial)
    : m_pDispatch(new CMainDispatchImp), m_rcInitial(rcInitial) {
    m_htmlCtrl.m_pExternalDispatch = m_pDispatch;
}

CPageDialogWnd::~CPageDialogWnd() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
    delete m_pDispatch;
}

BOOL CPageDialogWnd::CreateWnd() {
    return CreateEx(0, L"SongDeckPageDialog", L"", kPageDialogStyle, ScaledRect(m_rcInitial),
                    nullptr, 0);
}

void CPageDialogWnd::OnPageDocumentComplete(std::wstring url) {
    SizeToPageCenterAndShow(*this, m_htmlCtrl);
}

void CPageDialogWnd::OnPageLoadOverdue(std::wstring url) {
    // At its first size unless the page declared one; the user can close it (and the option
    // window then gives the hotkey back).
    SizeToPageCenterAndShow(*this, m_htmlCtrl);
}

LRESULT CPageDialogWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) {
        if (CIEWapperWnd::WindowProc(message, wParam, lParam) == -1) {
            return -1;
        }
        // Both sizes from icon 128, unlike the main window's small icon 133.
        SetWindowIcons(*this, IDI_MAIN_BIG, IDI_MAIN_BIG);
        return 0;
    }
    return CIEWapperWnd::WindowProc(message, wParam, lParam);
}
