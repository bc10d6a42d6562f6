// Compiled only by scripts/check-portable, against the Windows headers: the tray, icon, menu,
// hotkey, program-start and single-instance API must agree with the SDK's names there.
#include "platform/hotkey.h"
#include "platform/icons.h"
#include "platform/menu.h"
#include "platform/shell_execute.h"
#include "platform/single_instance.h"
#include "platform/tray.h"
#include "platform/virtual_keys.h"
#include "platform/window_functions.h"

namespace {

[[maybe_unused]] void ProbeFacilities(HWND hwnd) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    data.uTimeout = 500;
    data.dwInfoFlags = NIIF_INFO;
    data.hIcon = reinterpret_cast<HICON>(
        LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(133), IMAGE_ICON, 16, 16, LR_SHARED));
    Shell_NotifyIconW(NIM_ADD, &data);
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(data.hIcon));

    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 32773, L"open");
    SetMenuDefaultItem(menu, 32773, FALSE);
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(hwnd);
    TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, hwnd, nullptr);
    DestroyMenu(menu);

    RegisterHotKey(hwnd, 293, MOD_CONTROL | MOD_ALT, VK_OEM_PLUS);
    UnregisterHotKey(hwnd, 293);
    ShowWindow(hwnd, IsIconic(hwnd) ? SW_RESTORE : SW_MINIMIZE);

    const INT_PTR started = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", L"RunSongDeck.exe", nullptr, nullptr, SW_SHOWNORMAL));
    (void)started;

    // Our own API, declared for every platform.
    SIZE size{};
    platform::GetIconSize(data.hIcon, &size);
    (void)platform::IsTrayAvailable();
    (void)platform::OpenUrlInBrowser(L"https://www.example.com/");
    platform::SingleInstance instance(L"SongDeck");
    instance.TryBecomePrimary([](const std::string&) {});
    (void)platform::SingleInstance::SendToPrimary(L"SongDeck", "restore", 5000);
    RECT where{};
    (void)platform::testing::TrayIconGeometry(hwnd, 1, &where);
    (void)platform::testing::OpenMenuItems();
}

}  // namespace
