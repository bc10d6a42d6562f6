// The notification-area (tray) icon, with its tip and its balloon.
//
// On Linux the icon is a StatusNotifierItem on the session bus where a
// StatusNotifierWatcher is registered, else an XEmbed icon in the system tray. Mouse
// actions reach the window as its callback message (wParam the icon id, lParam the mouse
// message): a left press WM_LBUTTONDOWN, a double click WM_LBUTTONDBLCLK, a right click
// WM_RBUTTONUP; a StatusNotifierItem's Activate gives WM_LBUTTONDBLCLK and its ContextMenu
// WM_RBUTTONUP. The balloon is a desktop notification (org.freedesktop.Notifications), shown
// for at least 10 s and at most 30 s, as the original shell bounds the time-out.
#pragma once

#include <string>

#include "platform/icons.h"
#include "platform/types.h"

#ifdef _WIN32
#include <shellapi.h>
#else

constexpr DWORD NIM_ADD = 0x00000000;
constexpr DWORD NIM_MODIFY = 0x00000001;
constexpr DWORD NIM_DELETE = 0x00000002;

constexpr UINT NIF_MESSAGE = 0x00000001;
constexpr UINT NIF_ICON = 0x00000002;
constexpr UINT NIF_TIP = 0x00000004;
constexpr UINT NIF_INFO = 0x00000010;

constexpr DWORD NIIF_NONE = 0x00000000;
constexpr DWORD NIIF_INFO = 0x00000001;
constexpr DWORD NIIF_WARNING = 0x00000002;
constexpr DWORD NIIF_ERROR = 0x00000003;

struct GUID_ {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

// The original's layout; cbSize is not examined on Linux.
struct NOTIFYICONDATAW {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    WCHAR szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    WCHAR szInfo[256];
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    WCHAR szInfoTitle[64];
    DWORD dwInfoFlags;
    GUID_ guidItem;
    HICON hBalloonIcon;
};

// NIM_ADD adds the icon (hWnd, uID) with the fields uFlags names; FALSE when it exists
// already or no tray runs. NIM_MODIFY changes the named fields of an added icon; NIF_INFO
// shows the balloon szInfo titled szInfoTitle (an empty szInfo takes the shown balloon
// away). NIM_DELETE removes the icon and its balloon. Text fields are read up to their
// terminator or their size, whichever comes first. Call on the thread that owns hWnd or
// any other: the icon lives on the UI thread.
BOOL Shell_NotifyIconW(DWORD dwMessage, NOTIFYICONDATAW* lpData);

#endif

namespace platform {

// Whether the desktop shows tray icons at all: a system tray (XEmbed) or a
// StatusNotifierWatcher runs. Without one a window hidden to the tray could not come back.
bool IsTrayAvailable();
// The message the shell broadcasts to top-level windows when its taskbar (and the tray) was
// made anew, e.g. after a crash of Explorer: every icon must be added again. 0 where no such
// message comes (a Linux tray keeps or re-embeds its icons itself).
UINT TrayCreatedMessage();

namespace testing {
// Where the icon (hwnd, id) is drawn on the screen; false when it is not shown as an XEmbed
// icon.
bool TrayIconGeometry(HWND hwnd, UINT id, RECT* rect);
// The D-Bus name of the icon's StatusNotifierItem; empty when it is not one.
std::string TrayIconBusName(HWND hwnd, UINT id);
}  // namespace testing

}  // namespace platform
