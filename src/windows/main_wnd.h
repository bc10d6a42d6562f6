// The client's main window: the local start page, the tray icon and its menu, the global
// hotkey, hide to the tray on close, and the orderly exit.
#pragma once

#include "browser/iewapper_wnd.h"

class CMainWnd : public CIEWapperWnd {
public:
    CMainWnd();
    ~CMainWnd() override;

    void RestoreMainWindow();
    // Registers the show hotkey from the options; a taken combination shows a warning box.
    void RegisterShowHotkey();
    void OpenOptionWindow();
    void OpenAboutWindow();
    void ShowUpdatePopup();
};
