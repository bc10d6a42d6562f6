// The option window: res/Option.html, through which the user changes the hotkey, update and
// start-at-login settings. Its close saves the options and registers the hotkey again.
#pragma once

#include "commands/custom_option_commands.h"
#include "commands/option_data_commands.h"
#include "commands/window_commands.h"
#include "windows/page_dialog_wnd.h"

class COptionWnd : public CPageDialogWnd {
public:
    using CInvokeHandler_GetOptionData = ::CInvokeHandler_GetOptionData;
    using CInvokeHandler_SetOptionData = ::CInvokeHandler_SetOptionData;

    COptionWnd();

    CInvokeHandler_GetOptionData m_getOptionData{L"GetOptionData"};
    CInvokeHandler_SetOptionData m_setOptionData{L"SetOptionData"};
    CInvokeHandler_CloseWnd m_closeWnd{L"CloseWnd", this};
    CInvokeHandler_GetCustomOptionData m_getCustomOptionData{L"GetCustomOptionData"};
    CInvokeHandler_SetCustomOptionData m_setCustomOptionData{L"SetCustomOptionData"};
    CInvokeHandler_Alert m_alert{L"Alert"};

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
};
