// The progress dialog of an interactive update (template 131): a progress bar, the release
// notes, a status line, and the continue and cancel buttons.
#pragma once

#include <string>

#include "platform/dialog.h"

class CClientUpdater;

class CUpdateProgressDlg : public CDialog {
public:
    static constexpr UINT IDD = 131;
    static constexpr int IDC_PROGRESS = 1000;
    static constexpr int IDC_NOTES = 1001;
    static constexpr int IDC_STATUS = 1002;

    enum Step {
        kChecking = 0,
        kNoUpdate = 1,
        kUpdateFound = 2,
        kDownloading = 3,
        kDownloaded = 4,
        kDownloadFailed = 5,
        kDone = 6,
    };

    CUpdateProgressDlg();
    ~CUpdateProgressDlg() override;

    // The dialog's template: ids, texts, places and styles of its controls.
    static const DialogTemplate& Template();

    BOOL OnInitDialog() override;
    void OnOK() override { OnContinue(); }
    void OnCancel() override;
    void OnContinue();

    void SetStep(int step);
    void SetNotes(const std::wstring& text);
    void SetStatusText(const std::wstring& text);
    // Moves the bar forward only, and shows downloading (0 to 99) or downloaded (100).
    void SetProgress(int percent);

    CClientUpdater* m_pUpdater = nullptr;
    int m_nStep = kChecking;

private:
    // Clicks are queued to this thread: a second one may arrive while the question is open
    // or after the restart was asked for.
    bool m_bAsking = false;
    bool m_bRestartRequested = false;
};

// The title by which an open update dialog is found.
constexpr wchar_t kUpdateDialogTitle[] = L"Quorvi更新";

// The update dialog open in this process, or null. A second check request shows it instead
// of starting another thread.
HWND FindOpenUpdateDialog();
// Shows that dialog and brings it to the top (on its own thread).
bool ShowOpenUpdateDialog(HWND dialog);
