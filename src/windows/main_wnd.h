// The client's main window: the local start page, the tray icon and its menu, the global
// hotkey, hide to the tray on close, the option and about windows, the update popup, and the
// orderly exit.
#pragma once

#include "browser/iewapper_wnd.h"
#include "browser/main_dispatch_imp.h"
#include "commands/app_commands.h"
#include "commands/cookie_commands.h"
#include "commands/custom_option_commands.h"
#include "commands/show_message_wnd_command.h"
#include "commands/window_commands.h"
#include "config/client_options.h"
#include "windows/about_wnd.h"
#include "windows/main_page_recovery.h"
#include "windows/option_wnd.h"

class CTrayIcon;
class CMessageWnd;

class CMainWnd : public CIEWapperWnd {
public:
    CMainWnd();
    ~CMainWnd() override;

    // Starts res/main.html loading before the window is created (the browser's processes start
    // meanwhile); CreateEx then shows it. Without it, WM_CREATE starts the load.
    void PreloadStartPage();
    void RestoreMainWindow();
    // Registers the show hotkey from the options; a taken combination shows a warning box.
    void RegisterShowHotkey();
    void RegisterShowHotkey(WORD vk, WORD modifiers);
    // Whether config.ini asked for the silent update check when the window was made.
    bool StartWithUpdateCheck() const { return m_startOptions.autoUpdate != 0; }
    void ShowTrayMenu();
    void OpenOptionWindow();
    void OpenAboutWindow();
    void ShowUpdatePopup();
    // A one-time message: a tray balloon, or a box where no tray shows one.
    void ShowNotice(const std::wstring& text);
    // Whether the window lived and was destroyed (the exit), as against never created.
    bool WasEnded() const { return m_bEnded; }

    void OnPageTitleChange(std::wstring title) override;
    void OnPageDocumentComplete(std::wstring url) override;
    void OnPageNavigateError(std::wstring url) override;
    void OnPageLoadOverdue(std::wstring url) override;

    CTrayIcon* m_pTrayIcon = nullptr;
    UINT m_nTrayIconId = 1;
    CInvokeHandler_IsClient m_isClient{L"IsTavnelClient"};
    CInvokeHandler_ShowMessageWnd m_showMessageWnd{L"ShowMessageWnd"};
    CInvokeHandler_GetAppVersion m_getAppVersion{L"GetAppVersion"};
    COptionWnd::CInvokeHandler_GetOptionData m_getOptionData{L"GetOptionData"};
    COptionWnd::CInvokeHandler_SetOptionData m_setOptionData{L"SetOptionData"};
    CInvokeHandler_GetCustomOptionData m_getCustomOptionData{L"GetCustomOptionData"};
    CInvokeHandler_SetCustomOptionData m_setCustomOptionData{L"SetCustomOptionData"};
    CInvokeHandler_SetCookie m_setCookie{L"SetCookie"};
    CInvokeHandler_GetCookie m_getCookie{L"GetCookie"};
    CInvokeHandler_Alert m_alert{L"Alert"};
    CInvokeHandler_OpenOptionWnd m_openOptionWnd{L"OpenOptionWnd"};
    CMainDispatchImp* m_pDispatch = nullptr;
    COptionWnd m_wndOption;
    CAboutWnd m_wndAbout;
    CMessageWnd* m_pUpdatePopup = nullptr;
    int m_nHotkeyId;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    int OnCreate(WPARAM wParam, LPARAM lParam);
    void OnDestroy();
    void OnClose();
    void OnTrayNotify(WPARAM wParam, LPARAM lParam);
    void OnExit();
    // Adds the tray icon when a tray runs and it is not shown yet; false when none can be.
    bool EnsureTrayIcon();
    // The shell's tray was made anew: the icon is added again.
    void OnTrayCreated();
    // window.external of the main page, made once.
    void BuildDispatch();
    // The tray icon, the hotkey and the application's background work: shortly after the
    // start page has shown, or a few seconds after creation at the latest.
    void StartServices();

    // The options the start goes by (hotkey, update check), read before the start page runs:
    // what the page sets while it loads takes effect as the options say, not at this start.
    void ReadStartOptions();

    // Each bound has its timer: a first show reported during creation keeps its short one.
    static constexpr UINT_PTR ID_TIMER_START_SERVICES = 1;
    static constexpr UINT_PTR ID_TIMER_SERVICES_LATEST = 2;
    CClientOptions m_startOptions{};
    // The page's latest title: the tray icon, added later, shows it as the tip.
    std::wstring m_strTrayTip;
    bool m_bTrayIconShown = false;
    bool m_bEnded = false;
    bool m_bStartPagePreloaded = false;
    enum class Services { Waiting, Due, Started } m_services = Services::Waiting;
    CMainPageRecovery m_pageRecovery;
};
