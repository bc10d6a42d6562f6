#include "windows/show_hotkey.h"

#include "platform/hotkey.h"
#include "platform/virtual_keys.h"

namespace {

constexpr uint16_t kControlShift = 1;
constexpr uint16_t kControlCtrl = 2;
constexpr uint16_t kControlAlt = 4;
// Only the hotkey the client ships with is named in the hint (Ctrl+D).
constexpr uint16_t kDefaultVk = 68;
constexpr wchar_t kDefaultHotkeyText[] = L"Ctrl+D";
constexpr wchar_t kAppName[] = L"Quorvi";

bool IsDefaultHotkey(const CClientOptions& options) {
    return options.modifiers == kControlCtrl && options.vk == kDefaultVk;
}

}  // namespace

UINT HotkeyModifiersToRegister(uint16_t controlModifiers) {
    UINT modifiers = 0;
    if ((controlModifiers & kControlAlt) != 0) {
        modifiers |= MOD_ALT;
    }
    if ((controlModifiers & kControlCtrl) != 0) {
        modifiers |= MOD_CONTROL;
    }
    if ((controlModifiers & kControlShift) != 0) {
        modifiers |= MOD_SHIFT;
    }
    return modifiers;
}

bool IsShowHotkeyAllowed(uint16_t vk, uint16_t controlModifiers) {
    return (controlModifiers & (kControlCtrl | kControlAlt)) != 0 || (vk >= VK_F1 && vk <= VK_F24);
}

std::wstring BuildCloseHint(const CClientOptions& options, bool trayAvailable,
                            bool hotkeyNeedsFocus) {
    const std::wstring app = kAppName;
    // Where the desktop passes the hotkey only to the focused window, a hidden window cannot
    // be brought back with it: the user is told once, here.
    const std::wstring focusNote =
        hotkeyNeedsFocus ? L"（在此桌面上，热键仅在" + app + L"窗口有焦点时有效）" : L"";
    if (trayAvailable) {
        if (IsDefaultHotkey(options)) {
            return L"您可以双击该图标或者通过热键" + std::wstring(kDefaultHotkeyText) + L"打开" +
                   app + focusNote;
        }
        return L"您可以双击该图标打开" + app;
    }
    if (IsDefaultHotkey(options)) {
        return app + L"已最小化，您可以通过热键" + kDefaultHotkeyText + L"或者再次启动" + app +
               L"打开它" + focusNote;
    }
    if (options.vk != 0 || options.modifiers != 0) {
        return app + L"已最小化，您可以通过您设置的热键或者再次启动" + app + L"打开它" + focusNote;
    }
    return app + L"已最小化，您可以再次启动" + app + L"打开它";
}
