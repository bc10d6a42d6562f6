#include "windows/option_wnd.h"

#include "app/main_app.h"
#include "config/client_options.h"

COptionWnd::COptionWnd() : CPageDialogWnd(RECT{0, 0, 400, 500}) {
    m_pDispatch->RegisterHandler(&m_getOptionData);
    m_pDispatch->RegisterHandler(&m_setOptionData);
    m_pDispatch->RegisterHandler(&m_closeWnd);
    m_pDispatch->RegisterHandler(&m_getCustomOptionData);
    m_pDispatch->RegisterHandler(&m_setCustomOptionData);
    // No window yet: the option page's boxes have no owner.
    m_alert.m_hOwnerWnd = m_hWnd;
    m_pDispatch->RegisterHandler(&m_alert);
}

LRESULT COptionWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        // Hotkey and update settings the page changed reach config.ini now, and the hotkey,
        // released while the page could capture any combination, is taken again.
        SaveClientOptions(GetClientOptions());
        if (CMainApp* app = AfxGetMainApp(); app != nullptr) {
            app->m_wndMain.RegisterShowHotkey();
        }
    }
    return CPageDialogWnd::WindowProc(message, wParam, lParam);
}
