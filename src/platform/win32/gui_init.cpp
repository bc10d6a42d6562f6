// The window framework on Windows: common controls, OLE for the browser control on the UI
// thread, and the browser control's document mode for this executable.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>
#include <vector>

#include "platform/module.h"
#include "platform/wnd.h"

namespace {

constexpr wchar_t kBrowserEmulationKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
// The engine's newest mode (edge), whatever the page's doctype says.
constexpr DWORD kBrowserEmulationEdge = 11001;

// The file name of this executable, under which the browser control looks up its mode.
std::wstring ExecutableName() {
    const std::wstring path = GetModulePath(nullptr);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void SetBrowserEmulation() {
    const std::wstring name = ExecutableName();
    HKEY key = nullptr;
    if (name.empty() || RegCreateKeyExW(HKEY_CURRENT_USER, kBrowserEmulationKey, 0, nullptr, 0,
                                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD mode = kBrowserEmulationEdge;
    RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                   sizeof(mode));
    RegCloseKey(key);
}

}  // namespace

namespace platform {

bool InitGui(const std::vector<std::wstring>&) {
    if (!IsUiThread()) {
        InitUiThread();
    }
    INITCOMMONCONTROLSEX controls{sizeof(controls),
                                  ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // The browser control is an OLE object: its host thread needs OLE (drag and drop, the
    // clipboard), not only COM.
    OleInitialize(nullptr);
    SetBrowserEmulation();
    // Windows always has its desktop; there is nothing to open.
    return true;
}

std::wstring DisplayNote() {
    // Only a Linux session has a choice of display to report.
    return L"";
}

}  // namespace platform
