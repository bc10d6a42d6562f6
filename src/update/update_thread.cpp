#include "update/update_thread.h"

#include <new>

#include "app/environment.h"
#include "platform/automation.h"
#include "update/client_updater.h"
#include "update/notify_proxy.h"
#include "update/update_messages.h"

CUpdateThread::CUpdateThread() {
    m_pNotifyProxy = new (std::nothrow) CNotifyProxy();
    m_pUpdater = new (std::nothrow) CClientUpdater(m_pNotifyProxy, GetAppVersionNumber());
}

CUpdateThread::~CUpdateThread() {
    // Normally freed by ExitInstance on the thread; this covers a thread that never ran.
    delete m_pUpdater;
    delete m_pNotifyProxy;
}

BOOL CUpdateThread::InitInstance() {
    if (m_pNotifyProxy == nullptr || !m_pNotifyProxy->CreateProxyWindow()) {
        return FALSE;
    }
    // The proxy is never shown, so it carries no icon here.
    m_pMainWnd = m_pNotifyProxy;
    CoInitialize(nullptr);
    return TRUE;
}

int CUpdateThread::ExitInstance() {
    delete m_pUpdater;
    m_pUpdater = nullptr;
    m_pMainWnd = nullptr;
    delete m_pNotifyProxy;
    m_pNotifyProxy = nullptr;
    CoUninitialize();
    return CWinThread::ExitInstance();
}

void CUpdateThread::OnThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_UPDATE_START) {
        OnUpdateStart(wParam, lParam);
    } else if (message == WM_UPDATE_END) {
        OnUpdateEnd(wParam, lParam);
    }
}

void CUpdateThread::OnUpdateStart(WPARAM wParam, LPARAM lParam) {
    m_nRuns = 0;
    if (lParam == 0 || m_pUpdater == nullptr) {
        return;
    }
    m_pUpdater->ClearProxy();
    m_pUpdater->StartCheck(static_cast<BOOL>(wParam));
    ++m_nRuns;
}

void CUpdateThread::OnUpdateEnd(WPARAM wParam, LPARAM lParam) {
    if (m_nRuns-- == 1) {
        PostQuitMessage(0);
    }
}
