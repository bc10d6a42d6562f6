// The client's update: silent or with the progress dialog, asks before downloading, stages a
// finished update in the update directory and swaps in a delivered launcher at the end.
#pragma once

#include <string>

#include "update/updater.h"

class CUpdateProgressDlg;

class CClientUpdater : public CUpdater {
public:
    CClientUpdater(CNotifyProxy* proxy, LONGLONG currentVersion);
    ~CClientUpdater() override;

    BOOL StartCheck(BOOL interactive);
    void ClearProxy();
    // The progress dialog, created and shown on first use; null when it cannot be created.
    CUpdateProgressDlg* GetProgressDialog();
    // Continue in "update found"; close after the run finished.
    void ContinueUpdate();
    // The user confirmed leaving an unfinished update.
    void CancelUpdate();

    void OnNewVersion() override;
    void OnUpdateFinished(int result) override;
    void OnProgress(int percent) override;

    // The update directory: the all-users data directory + "update".
    static std::wstring GetUpdateDirectory();
    // RunSongDeck2 beside the executable becomes RunSongDeck.
    static void SwapLauncher();

    BOOL IsInteractive() const { return m_bInteractive; }
    BOOL IsFinished() const { return m_bFinished; }

private:
    // Moves the fetched manifest and its signature into the stage; false (logged, and the
    // check files cleared) when either cannot be placed.
    bool StageManifest();
    void SetDialogStep(int step);
    void CloseDialog();
    static void PostUpdateEnd();

    CUpdateProgressDlg* m_pDlg = nullptr;
    BOOL m_bInteractive = FALSE;
    BOOL m_bFinished = FALSE;
    std::wstring m_strProxy;
    std::wstring m_strProxyUser;
    std::wstring m_strProxyPassword;
};
