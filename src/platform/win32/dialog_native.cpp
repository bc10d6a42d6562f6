// CDialog's window on Windows: the dialog resource of the template's id, made on the UI
// thread. Its buttons, Enter, Escape and the close box reach the owner as posted WM_COMMAND.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <utility>

#include "platform/dialog_native.h"
#include "platform/icons.h"
#include "platform/messages.h"

struct CDialog::Native {
    HWND owner = nullptr;
    HWND dialog = nullptr;  // UI thread only
};

namespace {

using NativePtr = std::shared_ptr<CDialog::Native>;

void RunOnUi(std::function<void()> task) {
    if (platform::IsUiThread()) {
        task();
    } else {
        platform::PostTask(platform::GetUiThreadId(), std::move(task));
    }
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        return TRUE;
    }
    auto* native = reinterpret_cast<CDialog::Native*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (native == nullptr) {
        return FALSE;
    }
    switch (message) {
        case WM_COMMAND:
            // Button clicks, and Enter and Escape as IDOK and IDCANCEL; the owner decides.
            if (HIWORD(wParam) == BN_CLICKED) {
                PostMessageW(native->owner, WM_COMMAND, LOWORD(wParam), 0);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            // The close box is the cancel command; the dialog goes only when its owner says so.
            PostMessageW(native->owner, WM_COMMAND, IDCANCEL, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

namespace platform::dialog_native {

std::shared_ptr<CDialog::Native> Create(const DialogTemplate& dialogTemplate, HWND owner) {
    auto native = std::make_shared<CDialog::Native>();
    native->owner = owner;
    const bool ran = SendTask(GetUiThreadId(), [&native, &dialogTemplate] {
        native->dialog =
            CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(dialogTemplate.id), nullptr,
                               DialogProc, reinterpret_cast<LPARAM>(native.get()));
    });
    if (!ran || native->dialog == nullptr) {
        return nullptr;
    }
    return native;
}

void Destroy(const NativePtr& native) {
    // The task holds the record until the window is gone.
    RunOnUi([native] {
        if (native->dialog != nullptr) {
            DestroyWindow(native->dialog);
            native->dialog = nullptr;
        }
    });
}

void SetTitle(const NativePtr& native, const std::wstring& title) {
    RunOnUi([native, title] { SetWindowTextW(native->dialog, title.c_str()); });
}

void Show(const NativePtr& native, bool visible) {
    RunOnUi([native, visible] { ShowWindow(native->dialog, visible ? SW_SHOW : SW_HIDE); });
}

void Center(const NativePtr& native) {
    RunOnUi([native] {
        RECT window{};
        RECT area{};
        if (!GetWindowRect(native->dialog, &window) ||
            !SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) {
            return;
        }
        const LONG width = window.right - window.left;
        const LONG height = window.bottom - window.top;
        SetWindowPos(native->dialog, nullptr, area.left + (area.right - area.left - width) / 2,
                     area.top + (area.bottom - area.top - height) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    });
}

void SetTopmost(const NativePtr& native, bool topmost) {
    RunOnUi([native, topmost] {
        if (native->dialog == nullptr) {
            return;
        }
        // A taskbar button of its own, and above other windows.
        const LONG_PTR exStyle = GetWindowLongPtrW(native->dialog, GWL_EXSTYLE);
        SetWindowLongPtrW(native->dialog, GWL_EXSTYLE,
                          topmost ? (exStyle | WS_EX_APPWINDOW) : exStyle);
        SetWindowPos(native->dialog, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    });
}

void Present(const NativePtr& native) {
    RunOnUi([native] {
        ShowWindow(native->dialog, SW_SHOW);
        SetForegroundWindow(native->dialog);
    });
}

void SetItemText(const NativePtr& native, int id, const std::wstring& text) {
    RunOnUi([native, id, text] { SetDlgItemTextW(native->dialog, id, text.c_str()); });
}

void EnableItem(const NativePtr& native, int id, bool enabled) {
    RunOnUi([native, id, enabled] {
        if (HWND item = GetDlgItem(native->dialog, id)) {
            EnableWindow(item, enabled ? TRUE : FALSE);
        }
    });
}

void SetProgress(const NativePtr& native, int id, int lower, int upper, int pos) {
    RunOnUi([native, id, lower, upper, pos] {
        HWND bar = GetDlgItem(native->dialog, id);
        if (bar == nullptr) {
            return;
        }
        SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(lower), static_cast<LPARAM>(upper));
        SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(pos), 0);
    });
}

}  // namespace platform::dialog_native
