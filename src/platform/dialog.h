// Dialogs made from a template description: controls with ids, kinds, texts, rectangles in
// dialog units and styles, as a resource script describes them.
//
// A CDialog is a window of the thread that creates it: commands of its buttons, Enter, Escape
// and the close box reach that thread as WM_COMMAND through WindowProc. Its widgets live on
// the UI thread; the dialog keeps the state of its controls on its own thread and carries every
// change over, so reads never wait for the UI thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui.h"
#include "platform/wnd.h"

enum class DialogItemKind {
    PushButton,
    DefPushButton,
    ProgressBar,
    // Multi-line, read-only text with a vertical scroll bar.
    NotesEdit,
    StaticText,
    GroupBox,
};

struct DialogItemTemplate {
    int id;
    DialogItemKind kind;
    std::wstring text;
    RECT rect;  // left, top, width, height in dialog units
    DWORD style;
};

struct DialogTemplate {
    UINT id;
    std::wstring caption;
    std::wstring fontName;
    int pointSize;
    DWORD style;
    SIZE size;  // dialog units
    std::vector<DialogItemTemplate> items;
};

// The class name every dialog carries, as the platform names it.
constexpr wchar_t kDialogClassName[] = L"#32770";

class CDialog : public CWnd {
public:
    explicit CDialog(const DialogTemplate& dialogTemplate);
    ~CDialog() override;

    // Creates the dialog modeless (hidden until shown) and runs OnInitDialog.
    BOOL Create(CWnd* pParentWnd = nullptr);
    BOOL DestroyWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    virtual BOOL OnInitDialog() { return TRUE; }
    // A command of a control; IDOK and IDCANCEL go to OnOK and OnCancel.
    virtual void OnCommand(UINT id);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // A modeless dialog that ends is hidden; its owner destroys it.
    void EndDialog(int nResult);

    void SetWindowText(const std::wstring& text);
    std::wstring GetWindowText() const;
    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    // Centres the dialog on the work area.
    void CenterWindow();
    // Keeps the dialog above other windows (HWND_TOPMOST) or not.
    void SetTopmost(bool topmost);
    // Brings the dialog to the top and gives it the focus.
    void BringToTop();

    BOOL SetDlgItemText(int id, const std::wstring& text);
    std::wstring GetDlgItemText(int id) const;
    BOOL EnableDlgItem(int id, BOOL enable);
    BOOL IsDlgItemEnabled(int id) const;
    void SetProgressRange(int id, int lower, int upper);
    // Returns the previous position.
    int SetProgressPos(int id, int pos);
    int GetProgressPos(int id) const;

    const DialogTemplate& GetTemplate() const { return m_template; }

    struct Native;

private:
    struct ItemState {
        std::wstring text;
        bool enabled = true;
        int lower = 0;
        int upper = 100;
        int pos = 0;
    };
    ItemState* FindItem(int id);
    const ItemState* FindItem(int id) const;

    DialogTemplate m_template;
    std::vector<std::pair<int, ItemState>> m_items;
    std::wstring m_strTitle;
    bool m_bVisible = false;
    std::shared_ptr<Native> m_pNative;
};

namespace platform {
// The dialog of this process with the class "#32770" and this title; null when there is none.
HWND FindDialogWindow(const std::wstring& title);
// Shows the dialog and brings it to the top, on its own thread; false for an unknown handle.
bool PresentDialogWindow(HWND hWnd);
}  // namespace platform
