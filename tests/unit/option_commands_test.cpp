// The option commands against the real configuration store in a temporary user folder: data
// names, the value-before-key argument order, results and log lines.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "build_config.h"
#include "command_test_support.h"
#include "commands/custom_option_commands.h"
#include "commands/option_data_commands.h"
#include "config/client_options.h"
#include "integration/beside_executable.h"
#include "scoped_environment.h"

using commandtest::Args;
using commandtest::Call;
using commandtest::Result;

namespace {

class OptionCommands : public commandtest::LoggedLines {
protected:
    void SetUp() override {
        ResetClientOptionsForTest();
        LoggedLines::SetUp();
    }
    void TearDown() override {
        LoggedLines::TearDown();
        ResetClientOptionsForTest();
    }
    void Set(Args& args) {
        Result result;
        ASSERT_EQ(Call(m_set, DISPATCH_METHOD, args, &result.value), S_OK);
        EXPECT_EQ(result.value.vt, VT_BOOL);
        EXPECT_EQ(result.value.boolVal, 1);
    }
    HRESULT Get(Args& args, Result& result) {
        return Call(m_get, DISPATCH_METHOD, args, &result.value);
    }
    // The page's usual calls: a value then a data name, or a data name alone.
    void SetNumber(LONG value, const wchar_t* dataName) {
        Args args;
        args.Int(value).Text(dataName);
        Set(args);
    }
    HRESULT GetNamed(const wchar_t* dataName, Result& result) {
        Args args;
        args.Text(dataName);
        return Get(args, result);
    }
    std::string ConfigText() const {
        std::ifstream file(m_env.UserData() / "config.ini");
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    ScopedEnvironment m_env;
    CInvokeHandler_GetOptionData m_get{L"GetOptionData"};
    CInvokeHandler_SetOptionData m_set{L"SetOptionData"};
    CInvokeHandler_GetCustomOptionData m_getCustom{L"GetCustomOptionData"};
    CInvokeHandler_SetCustomOptionData m_setCustom{L"SetCustomOptionData"};
};

}  // namespace

TEST_F(OptionCommands, AutoRunFollowsTheStartEntryBothWays) {
    Args on;
    on.Bool(true).Text(L"AUTORUN");
    Set(on);
    EXPECT_TRUE(IsAutoRunEnabled());
    Args name;
    name.Text(L"AUTORUN");
    Result result;
    ASSERT_EQ(Get(name, result), S_OK);
    EXPECT_EQ(result.value.vt, VT_BOOL);
    EXPECT_EQ(result.value.boolVal, 1);
    // Without a result slot the store is not asked and nothing is appended.
    EXPECT_EQ(Call(m_get, DISPATCH_METHOD, name, nullptr), S_OK);
    Args off;
    off.Int(0).Text(L"AUTORUN");
    Set(off);
    EXPECT_FALSE(IsAutoRunEnabled());
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"call SetOptionData, DataName:AUTORUN, value:ture",
                                        "call GetOptionData, DataName:AUTORUN, return:ture",
                                        "call GetOptionData, DataName:AUTORUN, ",
                                        "call SetOptionData, DataName:AUTORUN, value:false"}));
}

TEST_F(OptionCommands, AutoUpdateKeepsTheSignedLowSixteenBits) {
    Args scriptTrue;
    scriptTrue.Bool(true).Text(L"AUTOUPDATE");
    Set(scriptTrue);
    EXPECT_EQ(GetClientOptions().autoUpdate, -1);
    Result on;
    ASSERT_EQ(GetNamed(L"AUTOUPDATE", on), S_OK);
    EXPECT_EQ(on.value.vt, VT_BOOL);
    EXPECT_EQ(on.value.boolVal, 1);
    SetNumber(0, L"AUTOUPDATE");
    EXPECT_EQ(GetClientOptions().autoUpdate, 0);
    SetNumber(0x10000, L"AUTOUPDATE");
    EXPECT_EQ(GetClientOptions().autoUpdate, 0);
    Result off;
    ASSERT_EQ(GetNamed(L"AUTOUPDATE", off), S_OK);
    EXPECT_EQ(off.value.boolVal, 0);
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"call SetOptionData, DataName:AUTOUPDATE, value:ture",
                                        "call GetOptionData, DataName:AUTOUPDATE, return:ture",
                                        "call SetOptionData, DataName:AUTOUPDATE, value:false",
                                        "call SetOptionData, DataName:AUTOUPDATE, value:false",
                                        "call GetOptionData, DataName:AUTOUPDATE, return:false"}));
}

TEST_F(OptionCommands, HotkeyValuesChangeOnlyTheRecordUntilItIsSaved) {
    SetNumber(70, L"HOTKEY_VK");
    SetNumber(6, L"HOTKEY_MODIFIERS");
    Result result;
    ASSERT_EQ(GetNamed(L"HOTKEY_VK", result), S_OK);
    EXPECT_EQ(result.value.vt, VT_INT);
    EXPECT_EQ(result.value.intVal, 70);
    EXPECT_EQ(ConfigText().find("VK"), std::string::npos);
    SetNumber(0x12345, L"HOTKEY_VK");
    EXPECT_EQ(GetClientOptions().vk, 0x2345);
    EXPECT_EQ(GetClientOptions().modifiers, 6);
    Result mods;
    ASSERT_EQ(GetNamed(L"HOTKEY_MODIFIERS", mods), S_OK);
    EXPECT_EQ(mods.value.vt, VT_INT);
    EXPECT_EQ(mods.value.intVal, 6);
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "call SetOptionData, DataName:HOTKEY_VK, value:70",
                           "call SetOptionData, DataName:HOTKEY_MODIFIERS, value:6",
                           "call GetOptionData, DataName:HOTKEY_VK, return:70",
                           "call SetOptionData, DataName:HOTKEY_VK, value:9029",
                           "call GetOptionData, DataName:HOTKEY_MODIFIERS, return:6"}));
}

TEST_F(OptionCommands, UnknownNamesAnswerTrueAndChangeNothing) {
    const CClientOptions before = GetClientOptions();
    Args lower;
    lower.Text(L"autorun");
    Result result;
    ASSERT_EQ(Get(lower, result), S_OK);
    EXPECT_EQ(result.value.vt, VT_BOOL);
    EXPECT_EQ(result.value.boolVal, 1);
    Args set;
    set.Int(1).Text(L"autoupdate");
    Set(set);
    // Without an application there is no update check to start; the page still gets true.
    Args check;
    check.Int(1).Text(L"CHECKUPDATE");
    Set(check);
    EXPECT_EQ(GetClientOptions().autoUpdate, before.autoUpdate);
    EXPECT_FALSE(IsAutoRunEnabled());
    EXPECT_EQ(Lines(), (std::vector<std::string>{"call GetOptionData, DataName:autorun, ",
                                                 "call SetOptionData, DataName:autoupdate, ",
                                                 "call SetOptionData, DataName:CHECKUPDATE, "}));
}

TEST_F(OptionCommands, TheStartPageAsksForTheServiceStartAddress) {
    Args name;
    name.Text(L"SERVICE_START_URL");
    Result result;
    ASSERT_EQ(Get(name, result), S_OK);
    EXPECT_EQ(result.value.vt, VT_BSTR);
    EXPECT_EQ(result.Text(), L"http://" + Utf8ToWide(SONGDECK_WEB_HOST) + L"/m");
    // Not an option a page can set.
    Args set;
    set.Text(L"http://elsewhere/m").Text(L"SERVICE_START_URL");
    Set(set);
    Result again;
    ASSERT_EQ(Get(name, again), S_OK);
    EXPECT_EQ(again.Text(), result.Text());
    EXPECT_EQ(Lines().front(), "call GetOptionData, DataName:SERVICE_START_URL, return:http://" +
                                   std::string(SONGDECK_WEB_HOST) + "/m");
}

TEST_F(OptionCommands, TheOptionPageLearnsHowThisInstallationIsUpdated) {
    updatetest::ExecutableFolderLock lock;
    Args name;
    name.Text(L"UPDATE_CHANNEL");
    Result self;
    ASSERT_EQ(Get(name, self), S_OK);
    EXPECT_EQ(self.value.vt, VT_BSTR);
    EXPECT_EQ(self.Text(), L"self");
    {
        // A package puts this marker beside the executable.
        updatetest::FileBesideExecutable marker("package-managed", "");
        Result package;
        ASSERT_EQ(Get(name, package), S_OK);
        EXPECT_EQ(package.Text(), L"package");
    }
    EXPECT_EQ(Lines().back(), "call GetOptionData, DataName:UPDATE_CHANNEL, return:package");
}

TEST_F(OptionCommands, CustomOptionsKeepTextAndIntegersUnderTheirKey) {
    Args text;
    text.Text(L"abc").Text(L"k");
    Result stored;
    ASSERT_EQ(Call(m_setCustom, DISPATCH_METHOD, text, &stored.value), S_OK);
    EXPECT_EQ(stored.value.vt, VT_BOOL);
    Args key;
    key.Text(L"k");
    Result got;
    ASSERT_EQ(Call(m_getCustom, DISPATCH_METHOD, key, &got.value), S_OK);
    EXPECT_EQ(got.value.vt, VT_BSTR);
    EXPECT_EQ(got.Text(), L"abc");

    Args five;
    five.Int(5).Text(L"k").Text(L"CUSTOM");
    Set(five);
    Args customKey;
    customKey.Text(L"k").Text(L"CUSTOM");
    Result number;
    ASSERT_EQ(Get(customKey, number), S_OK);
    EXPECT_EQ(number.value.vt, VT_INT);
    EXPECT_EQ(number.value.intVal, 5);
    Args never;
    never.Text(L"never-set");
    Result empty;
    ASSERT_EQ(Call(m_getCustom, DISPATCH_METHOD, never, &empty.value), S_OK);
    EXPECT_EQ(empty.value.vt, VT_BSTR);
    EXPECT_EQ(empty.Text(), L"");
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"call SetCustomOptionData,Key:k   Value:abc",
                                        "call GetCustomOptionData, Key:k   Value:abc",
                                        "call SetOptionData, DataName:CUSTOM, Key:k   Value:5",
                                        "call GetOptionData, DataName:CUSTOM, Key:k   Value:5",
                                        "call GetCustomOptionData, Key:never-set   Value:"}));
}

TEST_F(OptionCommands, ARefusedCustomValueIsLoggedAndThePageStillGetsTrue) {
    Args broken;
    broken.Text(L"line\nbreak").Text(L"k");
    Result result;
    ASSERT_EQ(Call(m_setCustom, DISPATCH_METHOD, broken, &result.value), S_OK);
    EXPECT_EQ(result.value.vt, VT_BOOL);
    EXPECT_EQ(result.value.boolVal, 1);
    Args viaOptionData;
    viaOptionData.Int(7).Text(L"bad\nkey").Text(L"CUSTOM");
    Set(viaOptionData);
    Args key;
    key.Text(L"k");
    Result got;
    ASSERT_EQ(Call(m_getCustom, DISPATCH_METHOD, key, &got.value), S_OK);
    EXPECT_EQ(got.Text(), L"");
    std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines.front().find(", refused by config.ini"), std::string::npos) << lines.front();
    std::string all;
    for (const std::string& line : lines) {
        all += line + "\n";
    }
    EXPECT_NE(all.find("Value:7, refused by config.ini"), std::string::npos) << all;
}

TEST_F(OptionCommands, OversizedCustomOptionsAreRefusedThePageGetsFalseAndTheLogOnlyLengths) {
    const std::wstring longestName(kMaxCustomOptionName, L'n');
    const std::wstring longestText(kMaxCustomOptionText, L'v');
    Args atBounds;
    atBounds.Text(longestText).Text(longestName);
    Result stored;
    ASSERT_EQ(Call(m_setCustom, DISPATCH_METHOD, atBounds, &stored.value), S_OK);
    EXPECT_EQ(stored.value.boolVal, 1);
    const std::string before = ConfigText();
    ASSERT_NE(before.find(std::string(kMaxCustomOptionText, 'v')), std::string::npos);

    Args longName;
    longName.Text(L"x").Text(longestName + L"n");
    // Lengths count UTF-16 units, as Windows stores them: 2,048 emoji fill a text.
    std::string emoji;
    for (int i = 0; i < 2048; ++i) {
        emoji += "\xF0\x9F\x98\x80";
    }
    Args longText;
    longText.Text(Utf8ToWide(emoji + "v")).Text(L"k").Text(L"CUSTOM");
    for (auto [command, args] : {std::pair<CInvokeHandler*, Args*>{&m_setCustom, &longName},
                                 std::pair<CInvokeHandler*, Args*>{&m_set, &longText}}) {
        Result refused;
        ASSERT_EQ(Call(*command, DISPATCH_METHOD, *args, &refused.value), S_OK);
        EXPECT_EQ(refused.value.boolVal, 0) << "the page must learn the option was not kept";
    }
    EXPECT_EQ(ConfigText(), before);
    const std::vector<std::string> lines = Lines();
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()),
              (std::vector<std::string>{
                  "call SetCustomOptionData,Key length:129   Value length:1, refused: too long",
                  "call SetOptionData, DataName:CUSTOM, Key length:1   Value length:4097, "
                  "refused: too long"}));
}

TEST_F(OptionCommands, ReadsAnswerTrueAndMissingArgumentsFailBeforeAnythingChanges) {
    Args none;
    for (CInvokeHandler* command :
         std::vector<CInvokeHandler*>{&m_get, &m_set, &m_getCustom, &m_setCustom}) {
        Result read;
        EXPECT_EQ(Call(*command, DISPATCH_PROPERTYGET, none, &read.value), S_OK);
        EXPECT_EQ(read.value.vt, VT_BOOL);
        EXPECT_EQ(read.value.boolVal, 1);
        EXPECT_EQ(Call(*command, DISPATCH_METHOD, none, nullptr), E_FAIL);
    }
    Args customWithoutKey;
    customWithoutKey.Text(L"CUSTOM");
    Result result;
    EXPECT_EQ(Get(customWithoutKey, result), E_FAIL);
    Args setWithoutValue;
    setWithoutValue.Text(L"HOTKEY_VK");
    EXPECT_EQ(Call(m_set, DISPATCH_METHOD, setWithoutValue, nullptr), E_FAIL);
    Args setCustomWithoutKey;
    setCustomWithoutKey.Int(5).Text(L"CUSTOM");
    EXPECT_EQ(Call(m_set, DISPATCH_METHOD, setCustomWithoutKey, nullptr), E_FAIL);
    Args textForNumber;
    textForNumber.Text(L"70").Text(L"HOTKEY_VK");
    EXPECT_EQ(Call(m_set, DISPATCH_METHOD, textForNumber, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(GetClientOptions().vk, 68);
    EXPECT_TRUE(Lines().empty());
}
