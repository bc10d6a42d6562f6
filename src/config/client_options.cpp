// The options record and config.ini.
#include "config/client_options.h"

#include <memory>

#include "app/environment.h"
#include "app/helpers.h"
#include "config/ini_section.h"
#include "platform/private_profile.h"

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
    // One replacement of the file: a kill half-way never pairs a new VK with an old MODIFIERS.
    const int values[] = {options.vk,           options.modifiers,     options.autoUpdate,
                          options.mainWndWidth, options.mainWndHeight, options.firstCloseMainWnd};
    const wchar_t* keys[] = {L"VK",           L"MODIFIERS",     L"AUTOUPDATE",
                             L"MAINWNDWIDTH", L"MAINWNDHEIGHT", L"FIRSTCLOSEMAINWND"};
    std::wstring texts[6];
    PROFILE_WRITE writes[6];
    for (size_t i = 0; i < 6; ++i) {
        texts[i] = IntToText(values[i]);
        writes[i] = {kSection, keys[i], texts[i].c_str()};
    }
    WritePrivateProfileBatch(writes, 6, GetConfigIniPath().c_str());
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
