// The thread of one update check: its own message loop, the notification proxy as its main
// window, and the client updater it drives with WM_UPDATE_START and WM_UPDATE_END.
#pragma once

#include "platform/wnd.h"

class CNotifyProxy;
class CClientUpdater;

class CUpdateThread : public CWinThread {
public:
    CUpdateThread();
    ~CUpdateThread() override;

    BOOL InitInstance() override;
    int ExitInstance() override;
    void OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    void OnUpdateStart(WPARAM wParam, LPARAM lParam);
    void OnUpdateEnd(WPARAM wParam, LPARAM lParam);

    CNotifyProxy* m_pNotifyProxy = nullptr;
    CClientUpdater* m_pUpdater = nullptr;
    int m_nRuns = 0;
};
