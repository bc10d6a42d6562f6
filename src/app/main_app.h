// The application object: decides at start what the process is for (a command mode, handing
// over to the running client, or the client itself), owns the main window and the update
// thread, and restarts the client through the launcher.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/wnd.h"
#include "windows/main_wnd.h"

class CUpdateThread;
namespace platform {
class SingleInstance;
}

class CMainApp : public CWinThread {
public:
    // argv as the process received it, argv[0] the program. The one object of the process.
    explicit CMainApp(std::vector<std::wstring> arguments);
    ~CMainApp() override;

    // Always TRUE; the client runs its loop only when the main window was created.
    BOOL InitInstance() override;
    int ExitInstance() override;

    // interactive 0: the silent check at start; 1: a check the user asked for.
    void StartUpdateCheck(BOOL interactive);
    void StopUpdateThread();
    // Ends the client and starts the launcher beside the executable.
    void RestartClient();
    // The main window has shown its start page (or given up waiting): the work that the first
    // page does not need starts now.
    void OnMainWindowStarted();

    CUpdateThread* m_pUpdateThread = nullptr;
    CMainWnd m_wndMain;

private:
    // False when another client runs (it was asked to show itself instead) or no place for
    // the running client can be had.
    bool BecomeTheRunningClient();
    void OnRunningClientCommand(const std::string& command);
    void StartClient();

    std::vector<std::wstring> m_arguments;
    std::unique_ptr<platform::SingleInstance> m_pSingleInstance;
};

// The application object, or null when none exists (unit tests).
CMainApp* AfxGetMainApp();
// The application's main window, or null.
CWnd* AfxGetMainWnd();

// Whether the arguments select one of the command modes below (exact words).
bool IsCommandMode(const std::vector<std::wstring>& arguments);
// The command modes the installer and the uninstaller run.
void RunInstallMode();
void RunUninstallMode();
void RunExitMode();
