#include "platform/dialog.h"

#include <map>
#include <mutex>

#include "platform/dialog_native.h"

namespace {

// The open dialogs of this process, by handle, with their titles: how a second request finds
// the dialog of the first.
struct DialogDirectory {
    std::mutex mutex;
    std::map<HWND, std::pair<std::wstring, DWORD>> dialogs;  // title, owning thread
};

DialogDirectory& Directory() {
    static DialogDirectory directory;
    return directory;
}

void RecordDialog(HWND hWnd, const std::wstring& title, DWORD threadId) {
    std::lock_guard<std::mutex> lock(Directory().mutex);
    Directory().dialogs[hWnd] = {title, threadId};
}

void ForgetDialog(HWND hWnd) {
    std::lock_guard<std::mutex> lock(Directory().mutex);
    Directory().dialogs.erase(hWnd);
}

bool IsButton(DialogItemKind kind) {
    return kind == DialogItemKind::PushButton || kind == DialogItemKind::DefPushButton;
}

constexpr DWORD kDisabledStyle = WS_DISABLED;

}  // namespace

CDialog::CDialog(const DialogTemplate& dialogTemplate)
    : m_template(dialogTemplate), m_strTitle(dialogTemplate.caption) {
    for (const DialogItemTemplate& item : m_template.items) {
        ItemState state;
        state.text = item.text;
        state.enabled = (item.style & kDisabledStyle) == 0;
        m_items.emplace_back(item.id, state);
    }
}

CDialog::~CDialog() {
    if (m_hWnd != nullptr) {
        CDialog::DestroyWindow();
    }
}

BOOL CDialog::Create(CWnd* pParentWnd) {
    const RECT empty = {0, 0, 0, 0};
    // The window itself is message-only on this thread; the widgets are the native part.
    if (!CreateEx(0, kDialogClassName, m_strTitle.c_str(), 0, empty, nullptr, m_template.id)) {
        return FALSE;
    }
    m_pNative = platform::dialog_native::Create(m_template, m_hWnd);
    if (!m_pNative) {
        CWnd::DestroyWindow();
        return FALSE;
    }
    RecordDialog(m_hWnd, m_strTitle, GetCurrentThreadId());
    OnInitDialog();
    return TRUE;
}

BOOL CDialog::DestroyWindow() {
    if (m_hWnd != nullptr) {
        ForgetDialog(m_hWnd);
    }
    if (m_pNative) {
        platform::dialog_native::Destroy(m_pNative);
        m_pNative.reset();
    }
    m_bVisible = false;
    return m_hWnd != nullptr ? CWnd::DestroyWindow() : FALSE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        OnCommand(LOWORD(wParam));
        return 0;
    }
    if (message == WM_CLOSE) {
        OnCommand(IDCANCEL);
        return 0;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CDialog::OnCommand(UINT id) {
    // A click that raced with disabling its button is not delivered, as a disabled button
    // sends nothing.
    for (const DialogItemTemplate& item : m_template.items) {
        if (item.id == static_cast<int>(id) && IsButton(item.kind) && !IsDlgItemEnabled(item.id)) {
            return;
        }
    }
    if (id == IDOK) {
        OnOK();
    } else if (id == IDCANCEL) {
        OnCancel();
    }
}

void CDialog::EndDialog(int nResult) {
    ShowWindow(SW_HIDE);
}

void CDialog::SetWindowText(const std::wstring& text) {
    m_strTitle = text;
    if (m_hWnd != nullptr) {
        CWnd::SetWindowText(text.c_str());
        RecordDialog(m_hWnd, text, GetCurrentThreadId());
    }
    if (m_pNative) {
        platform::dialog_native::SetTitle(m_pNative, text);
    }
}

std::wstring CDialog::GetWindowText() const {
    return m_strTitle;
}

BOOL CDialog::ShowWindow(int nCmdShow) {
    const BOOL wasVisible = m_bVisible ? TRUE : FALSE;
    m_bVisible = nCmdShow != SW_HIDE;
    if (m_pNative) {
        platform::dialog_native::Show(m_pNative, m_bVisible);
    }
    return wasVisible;
}

BOOL CDialog::IsWindowVisible() const {
    return m_bVisible ? TRUE : FALSE;
}

void CDialog::CenterWindow() {
    if (m_pNative) {
        platform::dialog_native::Center(m_pNative);
    }
}

void CDialog::SetTopmost(bool topmost) {
    if (m_pNative) {
        platform::dialog_native::SetTopmost(m_pNative, topmost);
    }
}

void CDialog::BringToTop() {
    m_bVisible = true;
    if (m_pNative) {
        platform::dialog_native::Present(m_pNative);
    }
}

CDialog::ItemState* CDialog::FindItem(int id) {
    for (auto& [itemId, state] : m_items) {
        if (itemId == id) {
            return &state;
        }
    }
    return nullptr;
}

const CDialog::ItemState* CDialog::FindItem(int id) const {
    return const_cast<CDialog*>(this)->FindItem(id);
}

BOOL CDialog::SetDlgItemText(int id, const std::wstring& text) {
    ItemState* item = FindItem(id);
    if (item == nullptr) {
        return FALSE;
    }
    item->text = text;
    if (m_pNative) {
        platform::dialog_native::SetItemText(m_pNative, id, text);
    }
    return TRUE;
}

std::wstring CDialog::GetDlgItemText(int id) const {
    const ItemState* item = FindItem(id);
    return item != nullptr ? item->text : std::wstring();
}

BOOL CDialog::EnableDlgItem(int id, BOOL enable) {
    ItemState* item = FindItem(id);
    if (item == nullptr) {
        return FALSE;
    }
    const BOOL wasDisabled = item->enabled ? FALSE : TRUE;
    item->enabled = enable != FALSE;
    if (m_pNative) {
        platform::dialog_native::EnableItem(m_pNative, id, item->enabled);
    }
    return wasDisabled;
}

BOOL CDialog::IsDlgItemEnabled(int id) const {
    const ItemState* item = FindItem(id);
    return item != nullptr && item->enabled ? TRUE : FALSE;
}

void CDialog::SetProgressRange(int id, int lower, int upper) {
    ItemState* item = FindItem(id);
    if (item == nullptr) {
        return;
    }
    item->lower = lower;
    item->upper = upper;
    if (m_pNative) {
        platform::dialog_native::SetProgress(m_pNative, id, lower, upper, item->pos);
    }
}

int CDialog::SetProgressPos(int id, int pos) {
    ItemState* item = FindItem(id);
    if (item == nullptr) {
        return 0;
    }
    const int previous = item->pos;
    // A progress bar keeps its position inside its range.
    item->pos = pos < item->lower ? item->lower : (pos > item->upper ? item->upper : pos);
    if (m_pNative) {
        platform::dialog_native::SetProgress(m_pNative, id, item->lower, item->upper, item->pos);
    }
    return previous;
}

int CDialog::GetProgressPos(int id) const {
    const ItemState* item = FindItem(id);
    return item != nullptr ? item->pos : 0;
}

namespace platform {

HWND FindDialogWindow(const std::wstring& title) {
    std::lock_guard<std::mutex> lock(Directory().mutex);
    for (const auto& [hWnd, entry] : Directory().dialogs) {
        if (entry.first == title) {
            return hWnd;
        }
    }
    return nullptr;
}

bool PresentDialogWindow(HWND hWnd) {
    DWORD threadId = 0;
    {
        std::lock_guard<std::mutex> lock(Directory().mutex);
        auto it = Directory().dialogs.find(hWnd);
        if (it == Directory().dialogs.end()) {
            return false;
        }
        threadId = it->second.second;
    }
    return PostTask(threadId, [hWnd] {
        // The dialog may be gone by the time this runs on its thread.
        auto* dialog = dynamic_cast<CDialog*>(CWnd::FromHandle(hWnd));
        if (dialog != nullptr) {
            dialog->BringToTop();
        }
    });
}

}  // namespace platform
