// The options record and config.ini.
#include "config/client_options.h"

#include <memory>

#include "app/environment.h"
#include "app/helpers.h"
#include "config/ini_section.h"

namespace {

constexpr wchar_t kSection[] = L"TAVNELDESKTOPCLIENT";

struct OptionsState {
    CClientOptions options{};
    bool bNotLoaded = true;
};

OptionsState& State() {
    static OptionsState state;
    return state;
}

}  // namespace

CClientOptions& GetClientOptions() {
    OptionsState& state = State();
    if (state.bNotLoaded) {
        LoadClientOptions();
        state.bNotLoaded = false;
    }
    return state.options;
}

void LoadClientOptions() {
    CIniSection ini(GetConfigIniPath(), kSection);
    CClientOptions& options = State().options;
    options.vk = static_cast<uint16_t>(ini.ReadInt(L"VK", 68));
    options.modifiers = static_cast<uint16_t>(ini.ReadInt(L"MODIFIERS", 2));
    options.autoUpdate = ini.ReadInt(L"AUTOUPDATE", 1);
    options.mainWndWidth = ini.ReadInt(L"MAINWNDWIDTH", 0);
    options.mainWndHeight = ini.ReadInt(L"MAINWNDHEIGHT", 0);
    options.firstCloseMainWnd = ini.ReadInt(L"FIRSTCLOSEMAINWND", 1);
}

void SaveClientOptions(const CClientOptions& options) {
    CIniSection ini(GetConfigIniPath(), kSection);
    ini.WriteInt(L"VK", options.vk);
    ini.WriteInt(L"MODIFIERS", options.modifiers);
    ini.WriteInt(L"AUTOUPDATE", options.autoUpdate);
    ini.WriteInt(L"MAINWNDWIDTH", options.mainWndWidth);
    ini.WriteInt(L"MAINWNDHEIGHT", options.mainWndHeight);
    ini.WriteInt(L"FIRSTCLOSEMAINWND", options.firstCloseMainWnd);
}

std::wstring GetConfigIniPath() {
    return GetUserDataDir() + L"config.ini";
}

void ResetClientOptionsForTest() {
    State() = OptionsState{};
}

BOOL DeleteUserDataDir() {
    return DeleteDirectoryTree(GetUserDataDir().c_str());
}
