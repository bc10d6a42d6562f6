#include "app/main_app.h"

#include <utility>

#include "app/app_messages.h"
#include "app/helpers.h"
#include "app/log.h"
#include "app/running_client.h"
#include "config/client_options.h"
#include "platform/executable_suffix.h"
#include "platform/process.h"
#include "platform/shell_execute.h"
#include "platform/single_instance.h"
#include "platform/thread.h"
#include "platform/ui.h"
#include "platform/window_functions.h"
#include "update/previous_version.h"
#include "update/update_messages.h"
#include "update/update_progress_dlg.h"
#include "update/update_thread.h"
#include "windows/window_size.h"

namespace {

CMainApp* g_pMainApp = nullptr;

constexpr wchar_t kMainWndTitle[] = L"Quorvi";
constexpr wchar_t kLauncherName[] = L"RunSongDeck";
// The caption of the boxes a start shows when it does not become the client.
constexpr wchar_t kStartHintCaption[] = L"操作提示";
// Not sizable, no maximize box, hidden until its page has loaded.
constexpr DWORD kMainWndStyle = 0x86CAC000;
constexpr RECT kMainWndClientRect{0, 0, 782, 558};
constexpr DWORD kUpdateThreadStopWaitMs = 3000;
constexpr wchar_t kRefusedVersionNotice[] = L"新版本未能启动，已恢复为之前的版本。";

// Exact words: "Install", "/exit" or "-hide" start the client like any other argument.
using RunMode = void (*)();
constexpr std::pair<const wchar_t*, RunMode> kCommandModes[] = {
    {L"install", RunInstallMode},
    {L"uninstall", RunUninstallMode},
    {L"exit", RunExitMode},
};

// The mode argv[1] names; null for any other argument.
RunMode CommandModeOf(const std::vector<std::wstring>& arguments) {
    if (arguments.size() > 1) {
        for (const auto& [word, run] : kCommandModes) {
            if (arguments[1] == word) {
                return run;
            }
        }
    }
    return nullptr;
}

std::wstring LauncherPath() {
    return GetModuleDirectory(nullptr) + kLauncherName + kExecutableSuffix;
}

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

bool IsCommandMode(const std::vector<std::wstring>& arguments) {
    return CommandModeOf(arguments) != nullptr;
}

BOOL CMainApp::InitInstance() {
    if (m_arguments.size() <= 1) {
        const std::wstring hint =
            std::wstring(L"请使用") + kLauncherName + kExecutableSuffix + L"打开" + kMainWndTitle;
        MessageBoxW(nullptr, hint.c_str(), kStartHintCaption, MB_ICONINFORMATION);
        return TRUE;
    }
    if (const RunMode runMode = CommandModeOf(m_arguments); runMode != nullptr) {
        runMode();
        ReportVersionStarted();
        return TRUE;
    }
    if (!BecomeTheRunningClient()) {
        return TRUE;
    }
    StartClient();
    return TRUE;
}

bool CMainApp::BecomeTheRunningClient() {
    // Taken before the window exists, so a second start during this start-up is still a
    // second instance: it waits for this client's answer instead of starting another one.
    m_pSingleInstance = std::make_unique<platform::SingleInstance>(kMainWndClassName);
    const RunningClientPlace place = TakeRunningClientPlace(
        *m_pSingleInstance,
        [this](const std::string& command) { OnRunningClientCommand(command); });
    if (place == RunningClientPlace::Taken) {
        return true;
    }
    m_pSingleInstance.reset();
    // The user started the client and would otherwise see nothing at all.
    if (place == RunningClientPlace::NotAnswering) {
        const std::wstring text = std::wstring(kMainWndTitle) + L"正在启动或没有响应，请稍后再试。";
        MessageBoxW(nullptr, text.c_str(), kStartHintCaption, MB_ICONINFORMATION);
    }
    return false;
}

void CMainApp::OnRunningClientCommand(const std::string& command) {
    if (m_wndMain.GetSafeHwnd() == nullptr) {
        return;
    }
    if (command == kRestoreCommand) {
        m_wndMain.ShowWindow(SW_RESTORE);
        m_wndMain.ShowWindow(SW_SHOW);
        m_wndMain.SetForegroundWindow();
    } else if (command == kExitCommand) {
        m_wndMain.SendMessage(WM_COMMAND, ID_TRAY_EXIT, 0);
    }
}

void CMainApp::StartClient() {
    m_pMainWnd = &m_wndMain;
    // The log of a start begins with this line, before anything of the browser is made.
    WriteLog(info, L"启动程序");
    // The start page goes first: the browser's processes start while the rest is set up.
    m_wndMain.PreloadStartPage();
    if (const std::wstring note = platform::DisplayNote(); !note.empty()) {
        WriteLog(info, L"%s", note.c_str());
    }
    const SIZE outer = OuterSizeForClient(kMainWndClientRect.right - kMainWndClientRect.left,
                                          kMainWndClientRect.bottom - kMainWndClientRect.top);
    const RECT rect{kMainWndClientRect.left, kMainWndClientRect.top,
                    kMainWndClientRect.left + outer.cx, kMainWndClientRect.top + outer.cy};
    if (!m_wndMain.CreateEx(0, kMainWndClassName, kMainWndTitle, kMainWndStyle, rect, nullptr, 0)) {
        // Without a window the loop would run for nothing. One ended by an exit that came
        // while its creation waited on a box was created, and the client ends as asked.
        if (!m_wndMain.WasEnded()) {
            WriteLog(fatal, L"main window could not be created");
        }
        m_pMainWnd = nullptr;
        return;
    }
    SetUpdateMainWindow(m_wndMain.GetSafeHwnd());
}

void CMainApp::OnMainWindowStarted() {
    if (TakeRefusedVersionNotice()) {
        m_wndMain.ShowNotice(kRefusedVersionNotice);
    }
    // A check still running (one the user asked for meanwhile) is not replaced by the silent
    // one; an ended one is, as StartUpdateCheck does.
    if (m_wndMain.StartWithUpdateCheck() &&
        (m_pUpdateThread == nullptr ||
         WaitForSingleObject(m_pUpdateThread->m_hThread, 0) == WAIT_OBJECT_0)) {
        StartUpdateCheck(FALSE);
    }
}

int CMainApp::ExitInstance() {
    // The thread may still run: it is ended (or left to delete itself) before anything goes.
    StopUpdateThread();
    SetUpdateMainWindow(nullptr);
    m_pSingleInstance.reset();
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

void CMainApp::RestartClient() {
    SendMessageW(m_pMainWnd != nullptr ? m_pMainWnd->GetSafeHwnd() : nullptr, WM_COMMAND,
                 ID_TRAY_EXIT, 0);
    const std::wstring launcher = LauncherPath();
    StopUpdateThread();
    // The new client must find no running one: the lock goes before the launcher starts.
    m_pSingleInstance.reset();
    // The launcher replaces this executable only once this process has ended.
    const std::wstring after =
        std::wstring(kAfterClientArgument) + L" " + std::to_wstring(CurrentProcessId());
    ShellExecuteW(nullptr, L"open", launcher.c_str(), after.c_str(), nullptr, SW_SHOWNORMAL);
}
