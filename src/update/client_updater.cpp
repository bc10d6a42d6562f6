#include "update/client_updater.h"

#include "app/environment.h"
#include "app/helpers.h"
#include "app/log.h"
#include "app/update_channel.h"
#include "platform/files.h"
#include "update/manifest_files.h"
#include "update/previous_version.h"
#include "update/update_files.h"
#include "update/update_messages.h"
#include "update/update_progress_dlg.h"

CClientUpdater::CClientUpdater(CNotifyProxy* proxy, LONGLONG currentVersion)
    : CUpdater(proxy, currentVersion, GetUserAgent()) {}

CClientUpdater::~CClientUpdater() {
    if (m_pDlg != nullptr) {
        m_pDlg->DestroyWindow();
        delete m_pDlg;
        m_pDlg = nullptr;
    }
    SwapLauncher();
    CUpdater::StopUpdate();
}

std::wstring CClientUpdater::GetUpdateDirectory() {
    return GetUpdateDir();
}

void CClientUpdater::SwapLauncher() {
    SwapDeliveredLauncher(GetModuleDirectory(nullptr));
}

BOOL CClientUpdater::StartCheck(BOOL interactive) {
    m_bInteractive = interactive;
    m_bFinished = FALSE;
    if (interactive && GetProgressDialog() != nullptr) {
        SetDialogStep(CUpdateProgressDlg::kChecking);
    }
    // Files that could not be put in place are not downloaded: such an installation is
    // updated by its package manager or a new installation.
    if (!IsSelfUpdateAllowed()) {
        WriteLog(info, L"%ls", GetUpdateChannelText().c_str());
        OnUpdateFinished(2);
        return TRUE;
    }
    return CheckUpdate(GetUpdateManifestUrl(), GetUpdateDirectory(), GetClientId(), m_strProxy,
                       m_strProxyUser, m_strProxyPassword);
}

void CClientUpdater::ClearProxy() {
    m_strProxy.clear();
    m_strProxyUser.clear();
    m_strProxyPassword.clear();
}

CUpdateProgressDlg* CClientUpdater::GetProgressDialog() {
    if (m_pDlg == nullptr) {
        auto* dialog = new CUpdateProgressDlg();
        if (dialog->Create(nullptr)) {
            dialog->m_pUpdater = this;
            dialog->ShowWindow(SW_SHOW);
            m_pDlg = dialog;
        } else {
            delete dialog;
        }
    }
    return m_pDlg;
}

void CClientUpdater::SetDialogStep(int step) {
    m_pDlg->m_nStep = step;
    m_pDlg->SetStep(step);
}

void CClientUpdater::CloseDialog() {
    if (m_pDlg != nullptr) {
        m_pDlg->DestroyWindow();
        delete m_pDlg;
        m_pDlg = nullptr;
    }
}

void CClientUpdater::PostUpdateEnd() {
    PostThreadMessageW(GetCurrentThreadId(), WM_UPDATE_END, 0, 0);
}

void CClientUpdater::OnNewVersion() {
    // A version that could not start here is not fetched again; a newer one is.
    if (m_nNewVersion == RefusedVersion()) {
        WriteLog(info, L"update: version %I64d did not start here before; it is skipped",
                 m_nNewVersion);
        Finish(2);
        return;
    }
    if (!m_bInteractive) {
        StartFileCheck();
        return;
    }
    if (GetProgressDialog() == nullptr) {
        return;
    }
    m_pDlg->SetNotes(m_strLog);
    SetDialogStep(CUpdateProgressDlg::kUpdateFound);
}

void CClientUpdater::OnProgress(int percent) {
    if (m_bInteractive && GetProgressDialog() != nullptr) {
        m_pDlg->SetProgress(percent);
    }
}

void CClientUpdater::ContinueUpdate() {
    if (m_bFinished) {
        CloseDialog();
        PostUpdateEnd();
    } else if (m_nState == 1) {
        StartFileCheck();
    }
}

void CClientUpdater::CancelUpdate() {
    StopUpdate();
    CloseDialog();
    PostUpdateEnd();
}

bool CClientUpdater::StageManifest() {
    // A staged manifest of an earlier run would describe another version than the files
    // beside it, so the new one takes its place; the launcher checks the stage again against
    // the signature kept beside it.
    bool staged = MoveFileReplacing(m_strManifestPath, m_strDir + kStagedManifestName) != FALSE;
    if (staged && IsManifestSigned()) {
        staged = MoveFileReplacing(GetSignaturePath(), m_strDir + kStagedSignatureName) != FALSE;
    } else if (staged) {
        DeleteFileAt(m_strDir + kStagedSignatureName);
    }
    if (!staged) {
        // Half a stage is no stage: the launcher finds no manifest and the next check starts
        // from nothing.
        WriteLog(warning, L"update: version %lld could not be staged",
                 static_cast<long long>(m_nNewVersion));
        DeleteFileAt(m_strDir + kStagedManifestName);
        RemoveCheckFiles();
    }
    return staged;
}

void CClientUpdater::OnUpdateFinished(int result) {
    m_bFinished = TRUE;
    if (result == 1 && !StageManifest()) {
        result = 0;
    }
    if (result == 1) {
        WriteTextFile(m_strLog.c_str(), (m_strDir + kStagedNotesName).c_str());
        WriteLog(info, L"update: version %lld is staged for the launcher",
                 static_cast<long long>(m_nNewVersion));
        if (m_bInteractive) {
            if (GetProgressDialog() != nullptr) {
                if (m_pDlg->GetProgressPos(CUpdateProgressDlg::IDC_PROGRESS) < 100) {
                    m_pDlg->SetProgressPos(CUpdateProgressDlg::IDC_PROGRESS, 100);
                }
                SetDialogStep(CUpdateProgressDlg::kDownloaded);
            }
        } else {
            PostMessageW(GetUpdateMainWindow(), WM_UPDATE_READY, 0, 0);
        }
    } else if (result == 2) {
        if (m_bInteractive && m_pDlg != nullptr) {
            SetDialogStep(CUpdateProgressDlg::kNoUpdate);
        }
    } else {
        if (!m_bInteractive) {
            PostUpdateEnd();
            return;
        }
        // A manifest that could not be fetched looks to the user like no update.
        if (GetProgressDialog() != nullptr) {
            SetDialogStep(m_nState != 0 ? CUpdateProgressDlg::kDownloadFailed
                                        : CUpdateProgressDlg::kNoUpdate);
        }
    }
    if (m_bInteractive && m_pDlg != nullptr) {
        return;  // the dialog waits for the user
    }
    PostUpdateEnd();
}
