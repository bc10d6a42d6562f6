// The client's windows on Windows: classes, titles, styles and sizes of the main window, the
// option window and the message popup; the tray icon, its menu and the show hotkey.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/app_messages.h"
#include "app/environment.h"
#include "app/running_client.h"
#include "browser/iewapper_wnd.h"
#include "browser/local_page.h"
#include "config/client_options.h"
#include "windows/main_wnd.h"
#include "windows/message_wnd.h"
#include "windows/message_wnd_geometry.h"
#include "windows/option_wnd.h"
#include "windows/tray_menu.h"
#include "windows/window_icons.h"
#include "windows/window_size.h"
#include "win32_test_support.h"

namespace {

using wingui::ClassOf;
using wingui::ClientSize;
using wingui::IconSize;
using wingui::PumpUntil;
using wingui::Px;
using wingui::TextOf;

constexpr DWORD kMainWndStyle = 0x86CAC000;
constexpr DWORD kPageDialogStyle = 0x86C8C000;
constexpr DWORD kPopupStyle = 0x8600C000;
constexpr UINT kTrayIconId = 1;

DWORD StyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
}
// Windows adds the raised edge to every captioned window itself.
DWORD ExStyleOf(HWND hwnd) {
    return static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)) & ~DWORD{WS_EX_WINDOWEDGE};
}

// NIM_MODIFY: the shell knows the icon (hwnd, id) when it accepts a change of nothing for it.
bool TrayIcon(HWND hwnd, DWORD what = NIM_MODIFY) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = kTrayIconId;
    return Shell_NotifyIconW(what, &data) != FALSE;
}

// A window of the test that holds hotkeys, as another program would.
class HotkeyHolder : public CWnd {
public:
    HotkeyHolder() { CreateEx(0, nullptr, L"holder", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0); }
};

HICON WindowIcon(HWND hwnd, WPARAM which) {
    return reinterpret_cast<HICON>(SendMessageW(hwnd, WM_GETICON, which, 0));
}

// The main window ends the loop when destroyed; the next test's waits must not meet its quit.
void DropQuit() {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
}

}  // namespace

// A start as the application makes it and a user's way through the tray: the frame, then the
// page's load starts the tray icon and the hotkey; a taken combination gives the warning box;
// closing hides to the tray, whose icon restores the window and opens the menu of resource 129;
// the exit takes icon and hotkey away.
TEST(ClientWindows, MainWindowTrayIconMenuAndHotkey) {
    CMainWnd main;
    const SIZE outer = OuterSizeForClient(782, 558);
    ASSERT_TRUE(main.CreateEx(0, kMainWndClassName, L"Quorvi", kMainWndStyle,
                              RECT{0, 0, outer.cx, outer.cy}, nullptr, 0));
    // Others find the running client by its class.
    EXPECT_EQ(FindWindowW(L"tavnelSongDeckWndClass", nullptr), main.m_hWnd);
    EXPECT_EQ(ClientSize(main.m_hWnd).cx, Px(782));
    EXPECT_EQ(ClientSize(main.m_hWnd).cy, Px(558));
    // Icon 128 at 32 x 32 and icon 133 at 16 x 16.
    EXPECT_EQ(IconSize(WindowIcon(main.m_hWnd, ICON_BIG)).cx, 32);
    EXPECT_EQ(IconSize(WindowIcon(main.m_hWnd, ICON_SMALL)).cx, 16);
    EXPECT_FALSE(TrayIcon(main.m_hWnd));

    const std::wstring startPage = LocalPagePath(L"res\\main.html");
    main.SendMessage(WM_PAGE_NOTIFY, 3, reinterpret_cast<LPARAM>(startPage.c_str()));
    EXPECT_TRUE(IsWindowVisible(main.m_hWnd));
    ASSERT_TRUE(PumpUntil([&] { return TrayIcon(main.m_hWnd); }));
    HotkeyHolder holder;
    EXPECT_FALSE(RegisterHotKey(holder.m_hWnd, 1, MOD_CONTROL, 'D')) << "Ctrl+D is the client's";

    // The page's title is the window's text and the icon's tip.
    const std::wstring title = L"Quorvi 音乐";
    main.SendMessage(WM_PAGE_NOTIFY, 1, reinterpret_cast<LPARAM>(title.c_str()));
    EXPECT_EQ(TextOf(main.m_hWnd), title);
    wingui::HoldForScreenshot();

    // Another program holds Ctrl+Alt+S: the options ask for it, and the box says so.
    ASSERT_TRUE(RegisterHotKey(holder.m_hWnd, 2, MOD_CONTROL | MOD_ALT, 'S'));
    CClientOptions& options = GetClientOptions();
    const CClientOptions saved = options;
    options.modifiers = 6;
    options.vk = 'S';
    std::wstring boxText;
    {
        wingui::WindowWatcher box(L"#32770", L"Quorvi", [&](HWND found) {
            boxText = wingui::MessageBoxText(found);
            wingui::PressButton(found, IDOK);
        });
        main.RegisterShowHotkey();
        PumpUntil([&] { return box.Done(); });
    }
    EXPECT_EQ(boxText, L"系统热键注册失败，请在选项对话框中重新设置。");
    options = saved;
    main.RegisterShowHotkey();
    EXPECT_FALSE(RegisterHotKey(holder.m_hWnd, 1, MOD_CONTROL, 'D'));

    // No first-close balloon: it would stand over the icon.
    options.firstCloseMainWnd = 0;
    main.SendMessage(WM_CLOSE);
    EXPECT_FALSE(IsWindowVisible(main.m_hWnd)) << "closing hides to the tray";
    // On the test desktop the icon sits alone at the panel's right end. The panel docks it a
    // little after the shell took it, at its right end or, while the slot of an icon just
    // removed lingers, beside it: the icon is where its tip shows.
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    RECT panel{};
    ASSERT_TRUE(TaskbarRectFromWorkArea(screen, work, &panel));
    POINT icon{};
    bool docked = false;
    for (int attempt = 0; attempt < 8 && !docked; ++attempt) {
        icon = POINT{panel.right - 11 - (attempt % 4) * 24, (panel.top + panel.bottom) / 2};
        SetCursorPos(icon.x, panel.top - 40);
        PumpUntil([] { return false; }, 100);
        SetCursorPos(icon.x, icon.y);
        docked = PumpUntil([] { return wingui::TooltipShown(); }, 1500);
    }
    ASSERT_TRUE(docked) << "no tip over the tray icon";
    wingui::Click(icon, false);
    PumpUntil([] { return false; }, 700);
    EXPECT_FALSE(IsWindowVisible(main.m_hWnd)) << "a single click shows nothing";
    wingui::Click(icon, false);
    wingui::Click(icon, false);
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(main.m_hWnd) != FALSE; }))
        << "a double click restores the window";
    // Restored, the window hands the keys to its page.
    EXPECT_TRUE(PumpUntil([&] { return IsChild(main.m_hWnd, GetFocus()) != FALSE; }))
        << "the focus is on " << GetFocus();

    // A right click opens the menu of resource 129 (打开 the default); Escape closes it.
    main.SendMessage(WM_CLOSE);
    std::vector<std::pair<UINT, std::wstring>> shownItems;
    UINT defaultItem = 0;
    bool closedByEscape = false;
    {
        wingui::WindowWatcher menu(L"#32768", L"", [&](HWND found) {
            auto shown = reinterpret_cast<HMENU>(SendMessageW(found, MN_GETHMENU, 0, 0));
            for (int i = 0; i < GetMenuItemCount(shown); ++i) {
                wchar_t text[64] = {};
                GetMenuStringW(shown, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
                shownItems.emplace_back(GetMenuItemID(shown, i), text);
            }
            defaultItem = GetMenuDefaultItem(shown, FALSE, 0);
            Sleep(wingui::ScreenshotHoldMs());
            keybd_event(VK_ESCAPE, 0, 0, 0);  // to the foreground window's thread
            keybd_event(VK_ESCAPE, 0, KEYEVENTF_KEYUP, 0);
            for (int i = 0; i < 150 && IsWindowVisible(found); ++i) {
                Sleep(20);
            }
            closedByEscape = !IsWindowVisible(found);
            // A menu that kept the key would hold the UI thread: it is ended here.
            PostMessageW(found, WM_KEYDOWN, VK_ESCAPE, 0);
        });
        wingui::Click(icon, true);
        PumpUntil([&] { return menu.Done(); });
        EXPECT_TRUE(menu.Seen()) << "a right click opens the menu";
    }
    EXPECT_TRUE(closedByEscape) << "Escape closes the menu of a window in the tray";
    EXPECT_FALSE(IsWindowVisible(main.m_hWnd)) << "the menu shows no hidden window";
    EXPECT_EQ(shownItems, TrayMenuTemplate().items);
    EXPECT_EQ(defaultItem, ID_TRAY_OPEN);

    // Explorer made its taskbar anew and knows no icons: the broadcast brings the icon back.
    ASSERT_TRUE(TrayIcon(main.m_hWnd, NIM_DELETE));
    PostMessageW(HWND_BROADCAST, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return TrayIcon(main.m_hWnd); })) << "the icon is added again";

    const HWND mainHwnd = main.m_hWnd;
    main.SendMessage(WM_COMMAND, ID_TRAY_EXIT, 0);
    DropQuit();
    EXPECT_EQ(main.m_hWnd, nullptr);
    EXPECT_FALSE(TrayIcon(mainHwnd));
    EXPECT_TRUE(RegisterHotKey(holder.m_hWnd, 1, MOD_CONTROL, 'D')) << "released at the exit";
}

// Where no page ever loads (no engine here), the page windows show after the bound all the
// same: the main window (which then recovers as from a failed load), 选项 and 关于.
TEST(ClientWindows, PageWindowsShowWhenTheirPageNeverLoads) {
    const UINT bound = CIEWapperWnd::s_nPageLoadBoundMs;
    CIEWapperWnd::s_nPageLoadBoundMs = 1000;
    CMainWnd main;
    const SIZE outer = OuterSizeForClient(782, 558);
    ASSERT_TRUE(main.CreateEx(0, kMainWndClassName, L"Quorvi", kMainWndStyle,
                              RECT{0, 0, outer.cx, outer.cy}, nullptr, 0));
    // DPI aware, at the run's scale (1173 x 837 at 150 %), centred in the work area.
    if (const wchar_t* logPixels = _wgetenv(L"SONGDECK_WINE_LOGPIXELS")) {
        EXPECT_EQ(Px(96), _wtoi(logPixels));
    }
    EXPECT_EQ(ClientSize(main.m_hWnd).cx, Px(782));
    EXPECT_EQ(ClientSize(main.m_hWnd).cy, Px(558));
    RECT placed{};
    GetWindowRect(main.m_hWnd, &placed);
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    EXPECT_NEAR(placed.left + placed.right, workArea.left + workArea.right, 1);
    EXPECT_NEAR(placed.top + placed.bottom, workArea.top + workArea.bottom, 1);
    EXPECT_FALSE(IsWindowVisible(main.m_hWnd)) << "the window waits for its page first";
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(main.m_hWnd) != FALSE; }));
    const std::wstring errorPage = GetUserDataDir() + L"main_error.html";
    EXPECT_TRUE(PumpUntil(
        [&] { return GetFileAttributesW(errorPage.c_str()) != INVALID_FILE_ATTRIBUTES; }, 10000))
        << "after its reloads the window shows its error page";

    main.SendMessage(WM_COMMAND, ID_TRAY_OPTIONS, 0);
    EXPECT_TRUE(PumpUntil([&] { return main.m_wndOption.IsWindowVisible() != FALSE; }));
    main.SendMessage(WM_COMMAND, ID_TRAY_ABOUT, 0);
    EXPECT_TRUE(PumpUntil([&] { return main.m_wndAbout.IsWindowVisible() != FALSE; }));
    main.SendMessage(WM_COMMAND, ID_TRAY_EXIT, 0);
    DropQuit();
    CIEWapperWnd::s_nPageLoadBoundMs = bound;
}

// The option window's frame as created, and the client area a page's size gives it.
TEST(ClientWindows, OptionWindowFrameAndPageSize) {
    COptionWnd option;
    ASSERT_TRUE(option.CreateWnd());
    const HWND hwnd = option.m_hWnd;
    EXPECT_EQ(ClassOf(hwnd), L"SongDeckPageDialog");
    EXPECT_EQ(TextOf(hwnd), L"");
    EXPECT_EQ(StyleOf(hwnd), kPageDialogStyle);
    EXPECT_EQ(ExStyleOf(hwnd), 0u);
    RECT frame{};
    GetWindowRect(hwnd, &frame);
    EXPECT_EQ(frame.right - frame.left, Px(400));
    EXPECT_EQ(frame.bottom - frame.top, Px(500));
    // Both icons from resource 128 (a shared icon keeps the size it was first loaded at; the
    // caption draws it small), never the main window's 133.
    EXPECT_EQ(IconSize(WindowIcon(hwnd, ICON_BIG)).cx, 32);
    EXPECT_NE(WindowIcon(hwnd, ICON_SMALL), nullptr);
    EXPECT_NE(WindowIcon(hwnd, ICON_SMALL), LoadSharedIcon(IDI_MAIN_SMALL, 16));

    SetClientSizeAtCorner(option, 320, 180, HWND_TOP, SWP_SHOWWINDOW);
    EXPECT_EQ(ClientSize(hwnd).cx, Px(320));
    EXPECT_EQ(ClientSize(hwnd).cy, Px(180));
    option.CenterWindow();
    wingui::HoldForScreenshot();
    option.SendMessage(WM_CLOSE);
    EXPECT_FALSE(IsWindow(hwnd));
}

// A popup is placed beside the panel the work area leaves out, slides up to its full height
// when its page has loaded, and slides down and goes when closed.
TEST(ClientWindows, PopupBesideTheWorkAreaSlidesInAndOut) {
    RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    RECT taskbar{};
    ASSERT_TRUE(TaskbarRectFromWorkArea(screen, work, &taskbar)) << "the test desktop's panel";
    const POINT at = PlaceBesideTaskbar(taskbar, Px(250), Px(153));

    CMessageWnd* popup = CMessageWnd::CreatePopup(250, 153);
    ASSERT_NE(popup, nullptr);
    const HWND hwnd = popup->m_hWnd;
    EXPECT_EQ(ClassOf(hwnd), L"SongDeckMessageWnd");
    EXPECT_EQ(StyleOf(hwnd), kPopupStyle);
    EXPECT_EQ(ExStyleOf(hwnd), DWORD{WS_EX_TOOLWINDOW | WS_EX_TOPMOST});
    RECT placed{};
    GetWindowRect(hwnd, &placed);
    EXPECT_EQ(placed.left, at.x);
    EXPECT_EQ(placed.top, at.y);
    EXPECT_EQ(placed.bottom - placed.top, Px(153));
    EXPECT_FALSE(IsWindowVisible(hwnd));

    const std::wstring page = L"http://127.0.0.1/message";
    popup->SendMessage(WM_PAGE_NOTIFY, 3, reinterpret_cast<LPARAM>(page.c_str()));
    EXPECT_TRUE(IsWindowVisible(hwnd));
    RECT shown{};
    ASSERT_TRUE(PumpUntil([&] {
        GetWindowRect(hwnd, &shown);
        return shown.top == at.y;
    })) << "top stopped at "
        << shown.top;
    EXPECT_EQ(shown.bottom, at.y + Px(153));
    EXPECT_EQ(shown.right, at.x + Px(250));

    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([&] { return !IsWindow(hwnd); })) << "the popup slid out and went";
}
