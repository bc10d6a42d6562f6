// The widget side of CDialog, one implementation per platform. Create runs the building on
// the UI thread and waits for it; every other call is queued there in order and returns at once.
#pragma once

#include <memory>
#include <string>

#include "platform/dialog.h"

namespace platform::dialog_native {

// Null when the widgets cannot be made. Commands go to owner as posted WM_COMMAND.
std::shared_ptr<CDialog::Native> Create(const DialogTemplate& dialogTemplate, HWND owner);
void Destroy(const std::shared_ptr<CDialog::Native>& native);

void SetTitle(const std::shared_ptr<CDialog::Native>& native, const std::wstring& title);
void Show(const std::shared_ptr<CDialog::Native>& native, bool visible);
void Center(const std::shared_ptr<CDialog::Native>& native);
void SetTopmost(const std::shared_ptr<CDialog::Native>& native, bool topmost);
void Present(const std::shared_ptr<CDialog::Native>& native);

void SetItemText(const std::shared_ptr<CDialog::Native>& native, int id, const std::wstring& text);
void EnableItem(const std::shared_ptr<CDialog::Native>& native, int id, bool enabled);
void SetProgress(const std::shared_ptr<CDialog::Native>& native, int id, int lower, int upper,
                 int pos);

}  // namespace platform::dialog_native
