// The about window: res/about.html with the client's version.
#pragma once

#include "commands/window_commands.h"
#include "windows/page_dialog_wnd.h"

class CAboutWnd : public CPageDialogWnd {
public:
    CAboutWnd();

    CInvokeHandler_CloseWnd m_closeWnd{L"CloseWnd", this};
    CInvokeHandler_GetAppVersion m_getAppVersion{L"GetAppVersion"};
};
