#include "windows/main_wnd.h"

#include "app/app_messages.h"
#include "app/helpers.h"
#include "app/main_app.h"
#include "browser/local_page.h"
#include "config/client_options.h"
#include "platform/hotkey.h"
#include "platform/tray.h"
#include "platform/ui.h"
#include "platform/window_functions.h"
#include "update/previous_version.h"
#include "update/update_messages.h"
#include "windows/message_wnd.h"
#include "windows/service_page.h"
#include "windows/show_hotkey.h"
#include "windows/tray_icon.h"
#include "windows/tray_menu.h"
#include "windows/window_icons.h"
#include "windows/window_size.h"

namespace {

constexpr wchar_t kAppTitle[] = L"Quorvi";
constexpr UINT kBalloonTimeoutMs = 500;
// The tray, the hotkey and the update check wait until the start page has been painted, and
// never longer than the latest time after creation, so a page that never loads holds up none.
constexpr UINT kServicesAfterPageMs = 50;
constexpr UINT kServicesLatestMs = 5000;

void WarnHotkeyFailed(HWND owner) {
    MessageBoxW(owner, L"系统热键注册失败，请在选项对话框中重新设置。", kAppTitle,
                MB_ICONEXCLAMATION);
}

}  // namespace

CMainWnd::CMainWnd() : m_nHotkeyId(HOTKEY_ID_SHOW_MAIN), m_strTrayTip(kAppTitle) {}

CMainWnd::~CMainWnd() {
    if (m_hWnd != nullptr) {
        DestroyWindow();
    }
    delete m_pDispatch;
}

LRESULT CMainWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return OnCreate(wParam, lParam);
        case WM_DESTROY:
            OnDestroy();
            return CIEWapperWnd::WindowProc(message, wParam, lParam);
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_TRAY_NOTIFY:
            OnTrayNotify(wParam, lParam);
            return 1;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case ID_TRAY_OPEN:
                    RestoreMainWindow();
                    return 0;
                case ID_TRAY_EXIT:
                    OnExit();
                    return 0;
                case ID_TRAY_OPTIONS:
                    OpenOptionWindow();
                    return 0;
                case ID_TRAY_ABOUT:
                    OpenAboutWindow();
                    return 0;
                default:
                    break;
            }
            break;
        case WM_TIMER:
            if (wParam == ID_TIMER_START_SERVICES || wParam == ID_TIMER_SERVICES_LATEST) {
                StartServices();
                return 0;
            }
            break;
        case WM_HOTKEY:
            if (static_cast<int>(wParam) == m_nHotkeyId) {
                RestoreMainWindow();
            }
            return 0;
        case WM_HOTKEY_DECLINED:
            if (static_cast<int>(wParam) == m_nHotkeyId) {
                WarnHotkeyFailed(m_hWnd);
            }
            return 0;
        case WM_UPDATE_READY:
            if (wParam != 0) {
                if (CMainApp* app = AfxGetMainApp(); app != nullptr) {
                    app->RestartClient();
                }
            } else {
                ShowUpdatePopup();
            }
            return 0;
        case WM_RESTART_CLIENT:
            if (CMainApp* app = AfxGetMainApp(); app != nullptr) {
                app->RestartClient();
            }
            return 0;
        default:
            if (message != 0 && message == platform::TrayCreatedMessage()) {
                OnTrayCreated();
                return 0;
            }
            break;
    }
    return CIEWapperWnd::WindowProc(message, wParam, lParam);
}

void CMainWnd::OnTrayCreated() {
    // The new tray knows no icons; before the services start there is none to add yet.
    m_bTrayIconShown = false;
    if (m_services == Services::Started) {
        EnsureTrayIcon();
    }
}

void CMainWnd::PreloadStartPage() {
    ReadStartOptions();
    // The page may call window.external as soon as the window exists.
    BuildDispatch();
    PreloadPage(LocalPagePath(L"res\\main.html"));
    m_bStartPagePreloaded = true;
}

void CMainWnd::BuildDispatch() {
    if (m_pDispatch != nullptr) {
        return;
    }
    m_pDispatch = new CMainDispatchImp;
    m_pDispatch->RegisterHandler(&m_isClient);
    m_pDispatch->RegisterHandler(&m_showMessageWnd);
    m_pDispatch->RegisterHandler(&m_getAppVersion);
    m_pDispatch->RegisterHandler(&m_getOptionData);
    m_pDispatch->RegisterHandler(&m_setOptionData);
    m_pDispatch->RegisterHandler(&m_getCustomOptionData);
    m_pDispatch->RegisterHandler(&m_setCustomOptionData);
    m_pDispatch->RegisterHandler(&m_getCookie);
    m_pDispatch->RegisterHandler(&m_setCookie);
    m_pDispatch->RegisterHandler(&m_alert);
    m_pDispatch->RegisterHandler(&m_openOptionWnd);
    m_htmlCtrl.m_pExternalDispatch = m_pDispatch;
}

int CMainWnd::OnCreate(WPARAM wParam, LPARAM lParam) {
    if (CIEWapperWnd::WindowProc(WM_CREATE, wParam, lParam) == -1) {
        return -1;
    }
    SetWindowIcons(*this, IDI_MAIN_BIG, IDI_MAIN_SMALL);
    m_pTrayIcon = new CTrayIcon(m_hWnd, m_nTrayIconId, WM_TRAY_NOTIFY);
    m_alert.m_hOwnerWnd = m_hWnd;
    BuildDispatch();
    if (!m_bStartPagePreloaded) {
        ReadStartOptions();
        NavigateTo(LocalPagePath(L"res\\main.html"));
    }
    SetTimer(ID_TIMER_SERVICES_LATEST, kServicesLatestMs);
    return 0;
}

void CMainWnd::ReadStartOptions() {
    m_startOptions = GetClientOptions();
}

void CMainWnd::StartServices() {
    KillTimer(ID_TIMER_START_SERVICES);
    KillTimer(ID_TIMER_SERVICES_LATEST);
    if (m_services == Services::Started) {
        return;
    }
    m_services = Services::Started;
    // The page is shown: the word comes before the hotkey's warning box, which may stay open
    // past the launcher's wait or end in an exit.
    ReportVersionStarted();
    EnsureTrayIcon();
    // An option window opened meanwhile registers the hotkey itself when it closes.
    if (m_wndOption.GetSafeHwnd() == nullptr) {
        RegisterShowHotkey(m_startOptions.vk, m_startOptions.modifiers);
    }
    // An exit, uninstall or restart during the hotkey's warning box ended the client: nothing
    // more starts on the way out.
    if (GetSafeHwnd() == nullptr) {
        return;
    }
    if (CMainApp* app = AfxGetMainApp(); app != nullptr) {
        app->OnMainWindowStarted();
    }
}

bool CMainWnd::EnsureTrayIcon() {
    if (m_pTrayIcon == nullptr) {
        return false;
    }
    if (!m_bTrayIconShown && platform::IsTrayAvailable()) {
        m_bTrayIconShown =
            m_pTrayIcon->AddIcon(LoadSharedIcon(IDI_MAIN_SMALL, 16), m_strTrayTip) != FALSE;
    }
    return m_bTrayIconShown && platform::IsTrayAvailable();
}

void CMainWnd::OnDestroy() {
    if (m_pTrayIcon != nullptr) {
        m_pTrayIcon->RemoveIcon();
        delete m_pTrayIcon;
        m_pTrayIcon = nullptr;
        m_bTrayIconShown = false;
    }
    UnregisterHotKey(m_hWnd, m_nHotkeyId);
    SaveClientOptions(GetClientOptions());
    m_bEnded = true;
    // The client ends with its main window, also when that goes before the loop runs: an
    // "exit" that comes while WM_CREATE waits on the hotkey warning.
    PostQuitMessage(0);
}

void CMainWnd::RestoreMainWindow() {
    ShowWindow(SW_RESTORE);
    ShowWindow(SW_SHOW);
}

void CMainWnd::RegisterShowHotkey() {
    const CClientOptions& options = GetClientOptions();
    RegisterShowHotkey(options.vk, options.modifiers);
}

void CMainWnd::RegisterShowHotkey(WORD vk, WORD modifiers) {
    if (vk == 0 && modifiers == 0) {
        return;
    }
    // A hotkey still held by this window would make its own registration fail.
    UnregisterHotKey(m_hWnd, m_nHotkeyId);
    // config.ini or a page may hold a plain key, which would be taken from every program.
    if (!IsShowHotkeyAllowed(vk, modifiers) ||
        !RegisterHotKey(m_hWnd, m_nHotkeyId, HotkeyModifiersToRegister(modifiers), vk)) {
        WarnHotkeyFailed(m_hWnd);
    }
}

void CMainWnd::ShowNotice(const std::wstring& text) {
    if (EnsureTrayIcon()) {
        m_pTrayIcon->ShowBalloon(text, kAppTitle, kBalloonTimeoutMs, NIIF_INFO);
    } else {
        MessageBoxW(nullptr, text.c_str(), kAppTitle, MB_ICONINFORMATION);
    }
}

void CMainWnd::OnClose() {
    CClientOptions& options = GetClientOptions();
    const bool trayAvailable = EnsureTrayIcon();
    // Hidden without a tray icon, the window could not be brought back from the desktop.
    ShowWindow(trayAvailable ? SW_HIDE : SW_MINIMIZE);
    if (options.firstCloseMainWnd == 0) {
        return;
    }
    const std::wstring hint = BuildCloseHint(options, trayAvailable, platform::HotkeyNeedsFocus());
    if (trayAvailable) {
        m_pTrayIcon->ShowBalloon(hint, kAppTitle, kBalloonTimeoutMs, NIIF_NONE);
    } else {
        MessageBoxW(nullptr, hint.c_str(), kAppTitle, MB_ICONINFORMATION);
    }
    options.firstCloseMainWnd = 0;
}

void CMainWnd::OnTrayNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != m_nTrayIconId) {
        return;
    }
    switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONDOWN:
            // A single click never shows the window: a hidden one stays hidden.
            SetForegroundWindow();
            break;
        case WM_LBUTTONDBLCLK:
            RestoreMainWindow();
            break;
        case WM_RBUTTONUP:
            ShowTrayMenu();
            break;
        default:
            break;
    }
}

void CMainWnd::ShowTrayMenu() {
    POINT cursor{0, 0};
    GetCursorPos(&cursor);
    HMENU menu = LoadTrayMenu();
    if (menu == nullptr) {
        return;
    }
    HMENU items = GetSubMenu(menu, 0);
    // The menu closes on an outside click or Escape only while its owner is the foreground
    // window, hidden in the tray or not (a hidden window stays hidden).
    SetForegroundWindow();
    SetMenuDefaultItem(items, ID_TRAY_OPEN, FALSE);
    TrackPopupMenu(items, 0, cursor.x, cursor.y, 0, m_hWnd, nullptr);
    // The task switch that follows the menu must find the window's queue awake.
    PostMessage(WM_NULL);
    DestroyMenu(menu);
}

void CMainWnd::OnExit() {
    if (m_wndOption.GetSafeHwnd() != nullptr) {
        m_wndOption.SendMessage(WM_CLOSE);
    }
    if (m_wndAbout.GetSafeHwnd() != nullptr) {
        m_wndAbout.SendMessage(WM_CLOSE);
    }
    m_htmlCtrl.SetSilent(TRUE);
    DestroyWindow();
}

void CMainWnd::OpenOptionWindow() {
    if (m_wndOption.GetSafeHwnd() != nullptr) {
        m_wndOption.SetForegroundWindow();
        return;
    }
    // The option page may capture any combination, this one included.
    UnregisterHotKey(m_hWnd, m_nHotkeyId);
    if (!m_wndOption.CreateWnd()) {
        RegisterShowHotkey();  // no window will give it back when it closes
        return;
    }
    m_wndOption.NavigateTo(LocalPagePath(L"res\\Option.html"));
}

void CMainWnd::OpenAboutWindow() {
    if (m_wndAbout.GetSafeHwnd() != nullptr) {
        m_wndAbout.SetForegroundWindow();
        return;
    }
    m_wndAbout.CreateWnd();
    m_wndAbout.NavigateTo(LocalPagePath(L"res\\about.html"));
}

void CMainWnd::ShowUpdatePopup() {
    CMessageWnd* popup = CMessageWnd::CreatePopup(0, 0);
    m_pUpdatePopup = popup;
    if (popup == nullptr) {
        return;
    }
    // The update popup closes at once, without sliding out.
    popup->m_bAnimateClose = FALSE;
    popup->NavigateTo(LocalPagePath(L"res\\update.html"));
    if (popup->m_bNavigateFailed) {
        popup->DestroyWindow();
        m_pUpdatePopup = nullptr;
    }
}

void CMainWnd::OnPageTitleChange(std::wstring title) {
    CIEWapperWnd::OnPageTitleChange(title);
    m_strTrayTip = title;
    if (m_pTrayIcon != nullptr && m_bTrayIconShown) {
        m_pTrayIcon->SetTip(title);
    }
}

void CMainWnd::OnPageDocumentComplete(std::wstring url) {
    if (IsSameLocalPage(url, LocalPagePath(L"res\\main.html"))) {
        m_pageRecovery.OnStartPageLoaded();
        if (m_services == Services::Waiting) {
            m_services = Services::Due;
            SetTimer(ID_TIMER_START_SERVICES, kServicesAfterPageMs);
        }
        const CClientOptions& options = GetClientOptions();
        int width = options.mainWndWidth;
        int height = options.mainWndHeight;
        if (width == 0 || height == 0) {
            m_htmlCtrl.GetPageSize(width, height);
        }
        if (width > 0 && height > 0) {
            SetClientSizeAtCorner(*this, width, height, nullptr, SWP_NOZORDER | SWP_NOACTIVATE);
            CenterWindow();
        }
    } else if (IsServiceStartPage(url)) {
        int width = 0;
        int height = 0;
        m_htmlCtrl.GetPageSize(width, height);
        if (width > 0 && height > 0) {
            SetClientSizeAtCorner(*this, width, height, HWND_TOP, SWP_SHOWWINDOW);
            CClientOptions& options = GetClientOptions();
            options.mainWndWidth = width;
            options.mainWndHeight = height;
        }
    }
    ShowWindow(SW_SHOW);
}

void CMainWnd::OnPageLoadOverdue(std::wstring url) {
    // Shown with what it has, then recovered as from a failed load.
    ShowWindow(SW_SHOW);
    OnPageNavigateError(url);
}

void CMainWnd::OnPageNavigateError(std::wstring url) {
    switch (m_pageRecovery.OnNavigateError()) {
        case CMainPageRecovery::Action::ReloadStartPage:
            NavigateTo(LocalPagePath(L"res\\main.html"));
            break;
        case CMainPageRecovery::Action::ShowErrorPage:
            if (const std::wstring page = WriteMainPageErrorPage(); !page.empty()) {
                NavigateTo(page);
            }
            break;
        case CMainPageRecovery::Action::Nothing:
            break;
    }
}
