// The main window's icon in the notification area: its tip and its balloon.
#pragma once

#include <string>

#include "platform/tray.h"

class CTrayIcon {
public:
    CTrayIcon(HWND hOwnerWnd, UINT nIconId, UINT nCallbackMessage);

    BOOL AddIcon(HICON hIcon, const std::wstring& tip);
    BOOL SetTip(const std::wstring& tip);
    BOOL RemoveIcon();
    // The tip last given, empty before any.
    const std::wstring& GetTip() const { return m_strTip; }
    BOOL ShowBalloon(const std::wstring& text, const std::wstring& title, UINT timeoutMs,
                     DWORD infoFlags);

private:
    NOTIFYICONDATAW NewIconData() const;

    HWND m_hOwnerWnd;
    UINT m_nIconId;
    UINT m_nCallbackMessage;
    HICON m_hIcon = nullptr;
    std::wstring m_strTip;
};

// Copies text into a fixed field, cut so that the terminator fits; a cut never splits a
// surrogate pair.
void CopyToTrayField(wchar_t* field, size_t fieldChars, const std::wstring& text);
