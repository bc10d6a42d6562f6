#include "windows/main_wnd.h"

CMainWnd::CMainWnd() = default;
CMainWnd::~CMainWnd() = default;

void CMainWnd::RestoreMainWindow() {
    ShowWindow(SW_RESTORE);
    ShowWindow(SW_SHOW);
}

void CMainWnd::RegisterShowHotkey() {}
void CMainWnd::OpenOptionWindow() {}
void CMainWnd::OpenAboutWindow() {}
void CMainWnd::ShowUpdatePopup() {}
