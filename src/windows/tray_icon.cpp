#include "windows/tray_icon.h"

#include <cstring>

namespace {

// The layout that carries balloon fields and the item GUID.
constexpr DWORD kNotifyIconDataSize = 952;

}  // namespace

void CopyToTrayField(wchar_t* field, size_t fieldChars, const std::wstring& text) {
    if (fieldChars == 0) {
        return;
    }
    size_t count = text.size() < fieldChars - 1 ? text.size() : fieldChars - 1;
    // UTF-16 builds carry surrogate pairs; a lone high half at the cut would show as garbage.
    if (count > 0 && count < text.size() && text[count - 1] >= 0xD800 &&
        text[count - 1] <= 0xDBFF) {
        --count;
    }
    text.copy(field, count);
    field[count] = L'\0';
}

CTrayIcon::CTrayIcon(HWND hOwnerWnd, UINT nIconId, UINT nCallbackMessage)
    : m_hOwnerWnd(hOwnerWnd), m_nIconId(nIconId), m_nCallbackMessage(nCallbackMessage) {}

NOTIFYICONDATAW CTrayIcon::NewIconData() const {
    NOTIFYICONDATAW data;
    std::memset(&data, 0, sizeof(data));
    data.cbSize = kNotifyIconDataSize;
    data.hWnd = m_hOwnerWnd;
    data.uID = m_nIconId;
    return data;
}

BOOL CTrayIcon::AddIcon(HICON hIcon, const std::wstring& tip) {
    m_hIcon = hIcon;
    m_strTip = tip;
    NOTIFYICONDATAW data = NewIconData();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = m_nCallbackMessage;
    data.hIcon = hIcon;
    CopyToTrayField(data.szTip, std::size(data.szTip), tip);
    return Shell_NotifyIconW(NIM_ADD, &data);
}

BOOL CTrayIcon::SetTip(const std::wstring& tip) {
    m_strTip = tip;
    NOTIFYICONDATAW data = NewIconData();
    data.uFlags = NIF_TIP;
    CopyToTrayField(data.szTip, std::size(data.szTip), tip);
    return Shell_NotifyIconW(NIM_MODIFY, &data);
}

BOOL CTrayIcon::RemoveIcon() {
    NOTIFYICONDATAW data = NewIconData();
    data.uFlags = NIF_ICON;
    return Shell_NotifyIconW(NIM_DELETE, &data);
}

BOOL CTrayIcon::ShowBalloon(const std::wstring& text, const std::wstring& title, UINT timeoutMs,
                            DWORD infoFlags) {
    NOTIFYICONDATAW data = NewIconData();
    data.uFlags = NIF_INFO;
    CopyToTrayField(data.szInfo, std::size(data.szInfo), text);
    CopyToTrayField(data.szInfoTitle, std::size(data.szInfoTitle), title);
    data.uTimeout = timeoutMs;
    data.dwInfoFlags = infoFlags;
    return Shell_NotifyIconW(NIM_MODIFY, &data);
}
