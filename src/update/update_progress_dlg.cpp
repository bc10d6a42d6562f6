#include "update/update_progress_dlg.h"

#include "platform/ui.h"
#include "update/client_updater.h"
#include "update/update_messages.h"

namespace {

constexpr int IDC_CONTINUE = IDOK;
constexpr int IDC_CANCEL = IDCANCEL;

enum class ButtonState { Unchanged, Enabled, Disabled };

// What each step shows: the status line, the continue button, the buttons' texts (null keeps
// them), and the step the dialog is in afterwards.
struct StepView {
    const wchar_t* status;
    ButtonState continueButton;
    const wchar_t* continueText;
    const wchar_t* cancelText;
    int stepAfter;
};

constexpr StepView kStepViews[] = {
    {L"正在检查更新...", ButtonState::Disabled, nullptr, nullptr, CUpdateProgressDlg::kChecking},
    {L"没有可用更新", ButtonState::Disabled, nullptr, L"确定", CUpdateProgressDlg::kDone},
    {L"发现更新文件，要继续吗？", ButtonState::Enabled, nullptr, nullptr,
     CUpdateProgressDlg::kUpdateFound},
    {L"正在下载更新文件...", ButtonState::Disabled, nullptr, nullptr,
     CUpdateProgressDlg::kDownloading},
    {L"更新文件下载完成，您重新启动程序以后将继续完成更新。", ButtonState::Enabled, L"重启程序",
     nullptr, CUpdateProgressDlg::kDownloaded},
    {L"更新文件下载失败!", ButtonState::Unchanged, nullptr, nullptr, CUpdateProgressDlg::kDone},
};

}  // namespace

CUpdateProgressDlg::CUpdateProgressDlg() : CDialog(Template()) {}

CUpdateProgressDlg::~CUpdateProgressDlg() = default;

const DialogTemplate& CUpdateProgressDlg::Template() {
    static const DialogTemplate dialogTemplate = {
        IDD,
        L"Dialog",
        L"MS Shell Dlg",
        8,
        0x80C800C8,
        {205, 159},
        {
            {IDC_CONTINUE, DialogItemKind::DefPushButton, L"继续", {81, 138, 50, 14}, 0x50010001},
            {IDC_CANCEL, DialogItemKind::PushButton, L"取消", {148, 138, 50, 14}, 0x50010000},
            {IDC_PROGRESS, DialogItemKind::ProgressBar, L"", {7, 7, 191, 12}, 0x50800000},
            {IDC_NOTES, DialogItemKind::NotesEdit, L"", {7, 17, 191, 71}, 0x50A108C4},
            {IDC_STATUS, DialogItemKind::StaticText, L"", {14, 109, 175, 17}, 0x50020000},
            {-1, DialogItemKind::GroupBox, L"提示", {7, 94, 191, 41}, 0x50000007},
        },
    };
    return dialogTemplate;
}

BOOL CUpdateProgressDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetProgressRange(IDC_PROGRESS, 0, 100);
    SetStatusText(L"");
    SetWindowText(kUpdateDialogTitle);
    CenterWindow();
    SetTopmost(true);
    return TRUE;
}

void CUpdateProgressDlg::SetStep(int step) {
    if (step < kChecking || step > kDownloadFailed) {
        return;
    }
    const StepView& view = kStepViews[step];
    SetStatusText(view.status);
    if (view.continueButton != ButtonState::Unchanged) {
        EnableDlgItem(IDC_CONTINUE, view.continueButton == ButtonState::Enabled);
    }
    if (view.continueText != nullptr) {
        SetDlgItemText(IDC_CONTINUE, view.continueText);
    }
    if (view.cancelText != nullptr) {
        SetDlgItemText(IDC_CANCEL, view.cancelText);
    }
    m_nStep = view.stepAfter;
}

void CUpdateProgressDlg::SetNotes(const std::wstring& text) {
    SetDlgItemText(IDC_NOTES, text);
}

void CUpdateProgressDlg::SetStatusText(const std::wstring& text) {
    SetDlgItemText(IDC_STATUS, text);
}

void CUpdateProgressDlg::SetProgress(int percent) {
    if (percent > GetProgressPos(IDC_PROGRESS)) {
        SetProgressPos(IDC_PROGRESS, percent);
    }
    if (static_cast<unsigned>(percent) <= 99) {
        m_nStep = kDownloading;
        SetStep(kDownloading);
    } else if (percent == 100) {
        m_nStep = kDownloaded;
        SetStep(kDownloaded);
    }
}

void CUpdateProgressDlg::OnContinue() {
    if (m_nStep == kUpdateFound) {
        EnableDlgItem(IDC_CONTINUE, FALSE);
        m_nStep = kDownloading;
        SetStep(kDownloading);
        if (m_pUpdater != nullptr) {
            m_pUpdater->ContinueUpdate();
        }
    } else if (m_nStep == kDownloaded && !m_bRestartRequested) {
        m_bRestartRequested = true;
        CDialog::OnOK();
        // To the main window: inside a window, a plain PostMessage names the window's own.
        ::PostMessageW(GetUpdateMainWindow(), WM_UPDATE_READY, 1, 0);
    }
}

void CUpdateProgressDlg::OnCancel() {
    if (m_bAsking) {
        // While the question is open the dialog must outlive it: a second close, even one
        // that would need no question, waits for the answer.
        return;
    }
    CClientUpdater* updater = m_pUpdater;
    if (m_nStep == kDone) {
        CDialog::OnCancel();
        // The run is finished: the updater destroys this dialog and ends the run.
        if (updater != nullptr) {
            updater->ContinueUpdate();
        }
        return;
    }
    m_bAsking = true;
    const int answer =
        MessageBoxW(m_hWnd, L"更新还未完成，确定退出吗？", L"退出询问", MB_YESNO | MB_ICONQUESTION);
    m_bAsking = false;
    if (answer == IDYES) {
        CDialog::OnCancel();
        if (updater != nullptr) {
            updater->CancelUpdate();
        }
    }
}

HWND FindOpenUpdateDialog() {
    return platform::FindDialogWindow(kUpdateDialogTitle);
}

bool ShowOpenUpdateDialog(HWND dialog) {
    return platform::PresentDialogWindow(dialog);
}
