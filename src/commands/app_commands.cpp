#include "commands/app_commands.h"

#include "app/app_messages.h"
#include "app/log.h"
#include "app/main_app.h"
#include "browser/iewapper_wnd.h"
#include "commands/command_support.h"

namespace {

// Posting to a main window that is gone (or not there at all) is not reported.
void PostToMainWindow(UINT message, WPARAM wParam) {
    CWnd* mainWnd = AfxGetMainWnd();
    if (mainWnd != nullptr && mainWnd->GetSafeHwnd() != nullptr) {
        mainWnd->PostMessage(message, wParam, 0);
    }
}

}  // namespace

HRESULT CInvokeHandler_OpenOptionWnd::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS*, VARIANT*,
                                             EXCEPINFO*, UINT*) {
    if (IsPropertyRead(wFlags)) {
        return E_NOTIMPL;
    }
    if (!IsMethodCall(wFlags)) {
        return S_OK;
    }
    WriteLog(info, L"call %s", m_strName.c_str());
    PostToMainWindow(WM_COMMAND, ID_TRAY_OPTIONS);
    return S_OK;
}

HRESULT CInvokeHandler_RestartApp::Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS*, VARIANT*,
                                          EXCEPINFO*, UINT*) {
    if (IsPropertyRead(wFlags)) {
        return E_NOTIMPL;
    }
    if (!IsMethodCall(wFlags)) {
        return S_OK;
    }
    WriteLog(info, L"call %s", m_strName.c_str());
    // Both windows belong to this thread, so the popup's close arrives before the restart.
    if (m_pOwnerWnd != nullptr && m_pOwnerWnd->GetSafeHwnd() != nullptr) {
        m_pOwnerWnd->PostMessage(WM_CLOSE, 0, 0);
    }
    PostToMainWindow(WM_RESTART_CLIENT, 0);
    return S_OK;
}
