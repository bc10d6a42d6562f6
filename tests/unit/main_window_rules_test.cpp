// The main window's rules that need no window: the hotkey's modifier translation, the
// first-close hint, tray text fields and the bounded recovery of the start page.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/hotkey.h"
#include "integration/beside_executable.h"
#include "app/environment.h"
#include "app/helpers.h"
#include "build_config.h"
#include "platform/text_encoding.h"
#include "platform/virtual_keys.h"
#include "windows/main_page_recovery.h"
#include "windows/service_page.h"
#include "windows/show_hotkey.h"
#include "windows/tray_icon.h"

namespace {

std::string ReadNarrow(const std::wstring& path) {
    std::ifstream file(WideToUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

CClientOptions Options(uint16_t modifiers, uint16_t vk) {
    CClientOptions options{};
    options.vk = vk;
    options.modifiers = modifiers;
    options.firstCloseMainWnd = 1;
    return options;
}

TEST(HotkeyModifiers, ControlBitsBecomeRegistrationBitsAndExtendedOrHigherBitsAreDropped) {
    EXPECT_EQ(HotkeyModifiersToRegister(2), MOD_CONTROL);
    EXPECT_EQ(HotkeyModifiersToRegister(4), MOD_ALT);
    EXPECT_EQ(HotkeyModifiersToRegister(1), MOD_SHIFT);
    EXPECT_EQ(HotkeyModifiersToRegister(5), MOD_SHIFT | MOD_ALT);
    EXPECT_EQ(HotkeyModifiersToRegister(6), MOD_CONTROL | MOD_ALT);
    EXPECT_EQ(HotkeyModifiersToRegister(9), MOD_SHIFT);
    EXPECT_EQ(HotkeyModifiersToRegister(0xFFF0), 0u);
    EXPECT_EQ(HotkeyModifiersToRegister(0), 0u);
}

TEST(HotkeyModifiers, OnlyCombinationsWithCtrlOrAltOrAFunctionKeyMayBeTakenFromTheDesktop) {
    EXPECT_TRUE(IsShowHotkeyAllowed('D', 2) && IsShowHotkeyAllowed('S', 1 | 4));
    // Shift+A types a capital A; the extended-key flag is no modifier.
    EXPECT_FALSE(IsShowHotkeyAllowed('A', 0) || IsShowHotkeyAllowed('A', 1 | 8));
    EXPECT_TRUE(IsShowHotkeyAllowed(VK_F1, 0) && IsShowHotkeyAllowed(VK_F24, 1));
    EXPECT_FALSE(IsShowHotkeyAllowed(VK_F1 - 1, 0) || IsShowHotkeyAllowed(VK_F24 + 1, 0));
}

TEST(CloseHint, WithATrayOnlyTheDefaultHotkeyIsNamed) {
    EXPECT_EQ(BuildCloseHint(Options(2, 68), true),
              L"您可以双击该图标或者通过热键Ctrl+D打开Quorvi");
    EXPECT_EQ(BuildCloseHint(Options(6, 83), true), L"您可以双击该图标打开Quorvi");
    // Ctrl+Shift+D is not the default even though it contains it.
    EXPECT_EQ(BuildCloseHint(Options(3, 68), true), L"您可以双击该图标打开Quorvi");
    EXPECT_EQ(BuildCloseHint(Options(0, 0), true), L"您可以双击该图标打开Quorvi");
}

TEST(CloseHint, WithoutATrayItNamesNoIconAndSaysHowTheWindowComesBack) {
    const std::wstring defaultHint = BuildCloseHint(Options(2, 68), false);
    EXPECT_EQ(defaultHint.find(L"图标"), std::wstring::npos);
    EXPECT_NE(defaultHint.find(L"Ctrl+D"), std::wstring::npos);
    EXPECT_NE(defaultHint.find(L"再次启动"), std::wstring::npos);

    const std::wstring otherHint = BuildCloseHint(Options(6, 83), false);
    EXPECT_NE(otherHint.find(L"热键"), std::wstring::npos);
    EXPECT_EQ(otherHint.find(L"Ctrl+D"), std::wstring::npos);

    // With no hotkey at all, starting the client again is the only way back.
    const std::wstring noHotkey = BuildCloseHint(Options(0, 0), false);
    EXPECT_EQ(noHotkey.find(L"热键"), std::wstring::npos);
    EXPECT_NE(noHotkey.find(L"再次启动"), std::wstring::npos);
}

TEST(CloseHint, AHotkeyThatNeedsTheFocusIsSaidSoWhereverItIsNamed) {
    const std::wstring focusNote = L"热键仅在Quorvi窗口有焦点时有效";
    for (bool tray : {true, false}) {
        EXPECT_NE(BuildCloseHint(Options(2, 68), tray, true).find(focusNote), std::wstring::npos);
        EXPECT_EQ(BuildCloseHint(Options(2, 68), tray, false).find(focusNote), std::wstring::npos);
        // A hint that names no hotkey has nothing to qualify.
        EXPECT_EQ(BuildCloseHint(Options(0, 0), tray, true), BuildCloseHint(Options(0, 0), tray));
    }
    EXPECT_NE(BuildCloseHint(Options(6, 83), false, true).find(focusNote), std::wstring::npos);
}

TEST(TrayField, TextIsCutToTheFieldWithItsTerminator) {
    wchar_t tip[128];
    CopyToTrayField(tip, std::size(tip), std::wstring(200, L'a'));
    EXPECT_EQ(std::wstring(tip), std::wstring(127, L'a'));

    CopyToTrayField(tip, std::size(tip), L"Quorvi");
    EXPECT_EQ(std::wstring(tip), L"Quorvi");

    // A cut that would end on the first half of a pair drops the whole pair.
    std::wstring paired(126, L'b');
    paired += static_cast<wchar_t>(0xD83D);
    paired += static_cast<wchar_t>(0xDE00);
    CopyToTrayField(tip, std::size(tip), paired);
    EXPECT_EQ(std::wstring(tip), std::wstring(126, L'b'));
}

TEST(MainPageRecovery, AStartPageThatNeverLoadsIsTriedABoundedNumberOfTimesThenTheErrorPage) {
    CMainPageRecovery recovery;
    for (int i = 0; i < CMainPageRecovery::kMaxReloads; ++i) {
        EXPECT_EQ(recovery.OnNavigateError(), CMainPageRecovery::Action::ReloadStartPage);
    }
    EXPECT_EQ(recovery.OnNavigateError(), CMainPageRecovery::Action::ShowErrorPage);
    // An error page that fails too is not retried.
    EXPECT_EQ(recovery.OnNavigateError(), CMainPageRecovery::Action::Nothing);
    EXPECT_EQ(recovery.OnNavigateError(), CMainPageRecovery::Action::Nothing);
}

TEST(MainPageRecovery, EveryLoadOfTheStartPageAllowsNewReloadsForLaterErrors) {
    CMainPageRecovery recovery;
    for (int round = 0; round < 5; ++round) {
        EXPECT_EQ(recovery.OnNavigateError(), CMainPageRecovery::Action::ReloadStartPage);
        recovery.OnStartPageLoaded();
    }
}

TEST(MainPageRecovery, TheErrorPageIsWrittenOutsideResAndNamesTheMissingPage) {
    const std::wstring path = WriteMainPageErrorPage();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.rfind(GetUserDataDir(), 0), 0u);
    const std::string text = ReadNarrow(path);
    EXPECT_NE(text.find("res/main.html"), std::string::npos);
    EXPECT_NE(text.find("charset=\"utf-8\""), std::string::npos);
    // Written again over an older copy, whole.
    WriteNarrowFile(path.c_str(), "stale");
    EXPECT_EQ(WriteMainPageErrorPage(), path);
    EXPECT_EQ(ReadNarrow(path), text);
}

TEST(ServiceStartPage, OnlyThePlainStartPageOfTheWebHostCounts) {
    const std::wstring host = Utf8ToWide(SONGDECK_WEB_HOST);
    EXPECT_TRUE(IsServiceStartPage(L"http://" + host + L"/m"));
    EXPECT_TRUE(IsServiceStartPage(L"HTTP://" + host + L"/M"));
    // Something after "/m" is another page, whose size is not remembered.
    EXPECT_FALSE(IsServiceStartPage(L"http://" + host + L"/m/"));
    EXPECT_FALSE(IsServiceStartPage(L"http://" + host + L"/m?from=tray"));
    EXPECT_FALSE(IsServiceStartPage(L"http://" + host + L"/mobile"));
    EXPECT_FALSE(IsServiceStartPage(L"https://" + host + L"/m"));
    EXPECT_FALSE(IsServiceStartPage(L"http://" + host + L".attacker.example/m"));
    EXPECT_FALSE(IsServiceStartPage(L"http://" + host + L":8080/m"));
    EXPECT_FALSE(IsServiceStartPage(L""));
}

TEST(ServiceStartPage, FollowsTheWebHostAndSchemeThatTestIniNames) {
    updatetest::FileBesideExecutable testIni(
        "test.ini", "[CLIENT_PROFILE_SHEET]\nWEB_HOST=127.0.0.1:8443\nHTTPS_ONLY=1\n");
    EXPECT_TRUE(IsServiceStartPage(L"https://127.0.0.1:8443/m"));
    EXPECT_FALSE(IsServiceStartPage(L"http://127.0.0.1:8443/m"));
    EXPECT_FALSE(IsServiceStartPage(L"https://127.0.0.1/m"));
    EXPECT_FALSE(IsServiceStartPage(L"http://" + Utf8ToWide(SONGDECK_WEB_HOST) + L"/m"));
}

}  // namespace
