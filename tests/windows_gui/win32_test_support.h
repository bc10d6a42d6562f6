// Helpers for the Windows GUI tests: bounded waits on the UI thread's loop, and a helper
// thread that answers a modal box as a user would while the UI thread waits inside it.
#pragma once

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/messages.h"

namespace wingui {

constexpr DWORD kWaitMs = 5000;

// Runs the UI thread's loop until done() or the time-out (wine without events sends nothing).
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs) {
    return platform::PumpMessagesUntil(done, timeoutMs);
}

inline std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

inline std::wstring TextOf(HWND hwnd) {
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    return text;
}

inline SIZE ClientSize(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return {client.right, client.bottom};
}

// A logical length at the screen's scale (LogPixels over 96).
inline int Px(int logical) {
    static const int dpi = GetDeviceCaps(GetDC(nullptr), LOGPIXELSX);  // the screen's DC, kept
    return MulDiv(logical, dpi, 96);
}

inline SIZE IconSize(HICON icon) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return {0, 0};
    }
    BITMAP bitmap{};
    GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor != nullptr) {
        DeleteObject(info.hbmColor);
    }
    DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, bitmap.bmHeight};
}

// On its own thread: waits (bounded) for a window of this process with the class and title,
// hands it to act, and records that it came.
class WindowWatcher {
public:
    WindowWatcher(const wchar_t* windowClass, std::wstring title, std::function<void(HWND)> act,
                  DWORD timeoutMs = kWaitMs)
        : m_thread([this, windowClass, title = std::move(title), act = std::move(act), timeoutMs] {
              const auto deadline =
                  std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
              while (std::chrono::steady_clock::now() < deadline) {
                  HWND found = FindWindowW(windowClass, title.empty() ? nullptr : title.c_str());
                  DWORD process = 0;
                  GetWindowThreadProcessId(found, &process);
                  if (found != nullptr && process == GetCurrentProcessId() &&
                      IsWindowVisible(found)) {
                      act(found);
                      m_bSeen = true;
                      break;
                  }
                  Sleep(20);
              }
              m_bDone = true;
          }) {}
    ~WindowWatcher() { m_thread.join(); }
    WindowWatcher(const WindowWatcher&) = delete;
    WindowWatcher& operator=(const WindowWatcher&) = delete;

    bool Done() const { return m_bDone; }
    bool Seen() const { return m_bSeen; }

private:
    std::atomic<bool> m_bDone{false};
    std::atomic<bool> m_bSeen{false};
    std::thread m_thread;
};

// The text of a message box (its static of id 0xFFFF).
inline std::wstring MessageBoxText(HWND box) {
    wchar_t text[512] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 512);
    return text;
}

// Presses a button of a dialog or box from another thread, as a click does.
inline void PressButton(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// A click of the left or right button at a screen point, as the hardware sends it.
inline void Click(POINT at, bool right) {
    SetCursorPos(at.x, at.y);
    INPUT inputs[2] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(2, inputs, sizeof(INPUT));
}

inline BOOL CALLBACK FindShownTooltip(HWND hwnd, LPARAM found) {
    if (IsWindowVisible(hwnd) && ClassOf(hwnd) == L"tooltips_class32") {
        *reinterpret_cast<bool*>(found) = true;
        return FALSE;
    }
    return TRUE;
}

// Whether a tooltip shows anywhere on the desktop (the tray shows the icon's tip on hover).
inline bool TooltipShown() {
    bool shown = false;
    EnumWindows(FindShownTooltip, reinterpret_cast<LPARAM>(&shown));
    return shown;
}

// How long a screenshot run keeps a menu or box open (SONGDECK_SCREENSHOT_HOLD_MS); 0 in tests.
inline DWORD ScreenshotHoldMs() {
    wchar_t value[32] = {};
    return GetEnvironmentVariableW(L"SONGDECK_SCREENSHOT_HOLD_MS", value, 32) > 0
               ? static_cast<DWORD>(_wtoi(value))
               : 0;
}

// A screenshot run keeps the UI thread's windows up (and painted) for its hold.
inline void HoldForScreenshot() {
    if (const DWORD hold = ScreenshotHoldMs(); hold > 0) {
        PumpUntil([] { return false; }, hold);
    }
}

}  // namespace wingui
