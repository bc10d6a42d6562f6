#include "app/main_app.h"

#include "app/environment.h"
#include "app/helpers.h"
#include "app/log.h"
#include "config/client_options.h"
#include "platform/thread.h"
#include "platform/ui.h"
#include "update/update_messages.h"
#include "update/update_progress_dlg.h"
#include "update/update_thread.h"

namespace {

CMainApp* g_pMainApp = nullptr;

constexpr wchar_t kMainWndTitle[] = L"Quorvi";
constexpr wchar_t kMainWndClass[] = L"tavnelSongDeckWndClass";
constexpr wchar_t kLauncherName[] = L"RunSongDeck";
// Not sizable, no maximize box, hidden until its page has loaded.
constexpr DWORD kMainWndStyle = 0x86CAC000;
constexpr RECT kMainWndClientRect{0, 0, 782, 558};
constexpr DWORD kUpdateThreadStopWaitMs = 3000;

}  // namespace

CMainApp::CMainApp(std::vector<std::wstring> arguments) : m_arguments(std::move(arguments)) {
    g_pMainApp = this;
}

CMainApp::~CMainApp() {
    if (g_pMainApp == this) {
        g_pMainApp = nullptr;
    }
}

CMainApp* AfxGetMainApp() {
    return g_pMainApp;
}

CWnd* AfxGetMainWnd() {
    return g_pMainApp != nullptr ? g_pMainApp->m_pMainWnd : nullptr;
}

BOOL CMainApp::InitInstance() {
    if (m_arguments.size() <= 1) {
        const std::wstring hint = std::wstring(L"请使用") + kLauncherName + L"打开" + kMainWndTitle;
        MessageBoxW(nullptr, hint.c_str(), L"操作提示", MB_ICONINFORMATION);
        return TRUE;
    }
    const std::wstring& mode = m_arguments[1];
    if (mode == L"install") {
        RunInstallMode();
        return TRUE;
    }
    if (mode == L"uninstall") {
        RunUninstallMode();
        return TRUE;
    }
    if (mode == L"exit") {
        RunExitMode();
        return TRUE;
    }
    StartClient();
    return TRUE;
}

void CMainApp::StartClient() {
    WriteLog(info, L"%ls", L"启动程序");
    RECT outer = kMainWndClientRect;
    outer.right = outer.left + (outer.right - outer.left) + 2 * GetSystemMetrics(SM_CXBORDER);
    outer.bottom = outer.top + (outer.bottom - outer.top) + GetSystemMetrics(SM_CYBORDER) +
                   GetSystemMetrics(SM_CYCAPTION);
    m_pMainWnd = &m_wndMain;
    m_wndMain.CreateEx(0, kMainWndClass, kMainWndTitle, kMainWndStyle, outer, nullptr, 0);
    SetUpdateMainWindow(m_wndMain.GetSafeHwnd());
    if (GetClientOptions().autoUpdate != 0) {
        StartUpdateCheck(FALSE);
    }
}

int CMainApp::ExitInstance() {
    StopUpdateThread();
    SetUpdateMainWindow(nullptr);
    return CWinThread::ExitInstance();
}

void CMainApp::StartUpdateCheck(BOOL interactive) {
    if (HWND dialog = FindOpenUpdateDialog(); dialog != nullptr) {
        if (interactive) {
            ShowOpenUpdateDialog(dialog);
        }
        return;
    }
    StopUpdateThread();
    auto* thread = new CUpdateThread();
    thread->m_bAutoDelete = FALSE;
    if (!thread->CreateThread(CREATE_SUSPENDED)) {
        delete thread;
        return;
    }
    m_pUpdateThread = thread;
    thread->ResumeThread();
    thread->PostThreadMessage(WM_UPDATE_START, static_cast<WPARAM>(interactive), 1);
}

void CMainApp::StopUpdateThread() {
    if (m_pUpdateThread == nullptr) {
        return;
    }
    if (!m_pUpdateThread->PostThreadMessage(WM_QUIT, 0, 0)) {
        m_pUpdateThread->PostThreadMessage(WM_QUIT, 0, 0);
    }
    if (WaitForSingleObject(m_pUpdateThread->m_hThread, kUpdateThreadStopWaitMs) == WAIT_OBJECT_0) {
        delete m_pUpdateThread;
    } else {
        m_pUpdateThread->m_bAutoDelete = TRUE;
    }
    m_pUpdateThread = nullptr;
}

void CMainApp::RestartClient() {}

void RunInstallMode() {}
void RunUninstallMode() {}
void RunExitMode() {}
