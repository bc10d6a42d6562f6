// The commands that act on windows and the application: call kinds, argument positions,
// results and log lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_messages.h"
#include "app/environment.h"
#include "app/helpers.h"
#include "app/main_app.h"
#include "browser/iewapper_wnd.h"
#include "browser/local_page.h"
#include "command_test_support.h"
#include "commands/app_commands.h"
#include "commands/show_message_wnd_command.h"
#include "commands/window_commands.h"
#include "platform/messages.h"

using commandtest::Args;
using commandtest::Call;
using commandtest::Result;

namespace {

constexpr WORD kMethod = DISPATCH_METHOD;
constexpr WORD kGet = DISPATCH_PROPERTYGET;
constexpr WORD kBoth = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

// Page windows without a page: message-only, recording what is posted to them into a log
// shared by several windows, so the order across windows shows.
class CRecordingPageWnd : public CIEWapperWnd {
public:
    CRecordingPageWnd(const wchar_t* name, std::vector<std::wstring>* record)
        : m_strName(name), m_pRecord(record) {}
    ~CRecordingPageWnd() override {
        if (m_hWnd != nullptr) {
            DestroyWindow();
        }
    }
    BOOL Create() { return CreateEx(0, L"", m_strName.c_str(), 0, RECT{}, nullptr, 0); }

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CLOSE || message == WM_COMMAND || message == WM_RESTART_CLIENT) {
            m_pRecord->push_back(m_strName + L" " + std::to_wstring(message) + L" " +
                                 std::to_wstring(wParam));
            return 0;
        }
        return CWnd::WindowProc(message, wParam, lParam);
    }

private:
    std::wstring m_strName;
    std::vector<std::wstring>* m_pRecord;
};

class WindowCommands : public commandtest::LoggedLines {
protected:
    void SetUp() override {
        LoggedLines::SetUp();
        platform::EnsureMessageQueue();
    }
    // Lets the posted messages arrive.
    void Deliver(size_t count) {
        platform::PumpMessagesUntil([&] { return m_record.size() >= count; }, 5000);
        platform::PumpMessagesUntil([] { return false; }, 50);
    }
    std::vector<std::wstring> m_record;
};

}  // namespace

TEST_F(WindowCommands, AlertRefusesReadsAndWrongArgumentCountsWithoutShowingAnything) {
    CInvokeHandler_Alert alert(L"Alert");
    EXPECT_EQ(alert.m_hOwnerWnd, nullptr);
    Args two;
    two.Text(L"T").Text(L"M");
    Result result;
    EXPECT_EQ(Call(alert, kGet, two, &result.value), E_NOTIMPL);
    EXPECT_EQ(Call(alert, kBoth, two, nullptr), E_NOTIMPL);
    EXPECT_EQ(Call(alert, 0, two, nullptr), S_OK);
    Args one;
    one.Text(L"M");
    EXPECT_EQ(Call(alert, kMethod, one, nullptr), E_FAIL);
    Args three;
    three.Text(L"T").Text(L"M").Text(L"x");
    EXPECT_EQ(Call(alert, kMethod, three, nullptr), E_FAIL);
    Args notText;
    notText.Text(L"T").Int(5);
    EXPECT_EQ(Call(alert, kMethod, notText, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(result.value.vt, VT_EMPTY);
    EXPECT_TRUE(Lines().empty());
}

TEST_F(WindowCommands, CloseWndLogsTheTitleAndPostsCloseToItsOwnWindow) {
    CRecordingPageWnd owner(L"Options page", &m_record);
    ASSERT_TRUE(owner.Create());
    CInvokeHandler_CloseWnd close(L"CloseWnd", &owner);
    Args none;
    Result result;
    EXPECT_EQ(Call(close, kGet, none, &result.value), E_NOTIMPL);
    // A property read without a result slot is not refused: the method part runs.
    EXPECT_EQ(Call(close, kBoth, none, nullptr), S_OK);
    EXPECT_EQ(Call(close, 0, none, nullptr), S_OK);
    Deliver(1);
    EXPECT_EQ(m_record, std::vector<std::wstring>{L"Options page 16 0"});
    EXPECT_EQ(Lines(), std::vector<std::string>{"call CloseWnd, window:Options page"});
    // The window is gone: nothing to post to, still no error.
    owner.DestroyWindow();
    EXPECT_EQ(Call(close, kMethod, none, nullptr), S_OK);
}

TEST_F(WindowCommands, GetAppVersionAnswersTheNumberOrTheTextByItsFlag) {
    CInvokeHandler_GetAppVersion version(L"GetAppVersion");
    {
        Args flag;
        flag.Bool(true);
        Result result;
        ASSERT_EQ(Call(version, kMethod, flag, &result.value), S_OK);
        ASSERT_EQ(result.value.vt, VT_R8);
        EXPECT_EQ(result.value.dblVal, static_cast<double>(GetAppVersionNumber()));
        EXPECT_EQ(result.value.dblVal,
                  static_cast<double>(VersionNumberFromText(GetAppVersionString())));
    }
    {
        Args flag;
        flag.Int(0);
        Result result;
        ASSERT_EQ(Call(version, kMethod, flag, &result.value), S_OK);
        ASSERT_EQ(result.value.vt, VT_BSTR);
        EXPECT_EQ(result.Text(), GetAppVersionString());
    }
    const std::string number = std::to_string(GetAppVersionNumber()) + ".000000";
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "call GetAppVersion, return:" + number,
                           "call GetAppVersion, return:" + WideToUtf8(GetAppVersionString())}));
}

TEST_F(WindowCommands, GetAppVersionReadAsPropertyIsTrueAndAMissingFlagFails) {
    CInvokeHandler_GetAppVersion version(L"GetAppVersion");
    Args none;
    Result read;
    EXPECT_EQ(Call(version, kGet, none, &read.value), S_OK);
    EXPECT_EQ(read.value.vt, VT_BOOL);
    EXPECT_EQ(read.value.boolVal, 1);
    // Read and called at once: the call answers over the read's true.
    Args flag;
    flag.Int(1);
    Result both;
    EXPECT_EQ(Call(version, kBoth, flag, &both.value), S_OK);
    EXPECT_EQ(both.value.vt, VT_R8);
    Result missing;
    EXPECT_EQ(Call(version, kMethod, none, &missing.value), E_FAIL);
    EXPECT_EQ(missing.value.vt, VT_EMPTY);
    Args text;
    text.Text(L"yes");
    EXPECT_EQ(Call(version, kMethod, text, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(Lines().size(), 1u);
}

TEST_F(WindowCommands, IsClientIsTrueBothWaysAndLogsOnlyTheRead) {
    CInvokeHandler_IsClient client(L"IsTavnelClient");
    Args none;
    Result read;
    EXPECT_EQ(Call(client, kGet, none, &read.value), S_OK);
    EXPECT_EQ(read.value.vt, VT_BOOL);
    EXPECT_EQ(read.value.boolVal, 1);
    Result called;
    EXPECT_EQ(Call(client, kMethod, none, &called.value), S_OK);
    EXPECT_EQ(called.value.vt, VT_BOOL);
    EXPECT_EQ(called.value.boolVal, 1);
    EXPECT_EQ(Call(client, kGet, none, nullptr), S_OK);
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"GetPropery IsTavnelClient", "GetPropery IsTavnelClient"}));
}

TEST_F(WindowCommands, OpenOptionWndAsksTheMainWindowForItsOptionsItem) {
    CInvokeHandler_OpenOptionWnd open(L"OpenOptionWnd");
    Args none;
    Result result;
    EXPECT_EQ(Call(open, kGet, none, &result.value), E_NOTIMPL);
    EXPECT_EQ(Call(open, kBoth, none, nullptr), E_NOTIMPL);
    // No application: nothing to post to, and no error for the page.
    EXPECT_EQ(Call(open, kMethod, none, nullptr), S_OK);

    CMainApp app({L"SongDeck", L"test"});
    CRecordingPageWnd main(L"main", &m_record);
    ASSERT_TRUE(main.Create());
    app.m_pMainWnd = &main;
    EXPECT_EQ(Call(open, kMethod, none, nullptr), S_OK);
    Deliver(1);
    app.m_pMainWnd = nullptr;
    EXPECT_EQ(m_record, std::vector<std::wstring>{L"main 273 " + std::to_wstring(ID_TRAY_OPTIONS)});
    EXPECT_EQ(Lines(), (std::vector<std::string>{"call OpenOptionWnd", "call OpenOptionWnd"}));
}

TEST_F(WindowCommands, RestartAppClosesItsPopupBeforeTheMainWindowRestarts) {
    CMainApp app({L"SongDeck", L"test"});
    CRecordingPageWnd main(L"main", &m_record);
    CRecordingPageWnd popup(L"popup", &m_record);
    ASSERT_TRUE(main.Create());
    ASSERT_TRUE(popup.Create());
    app.m_pMainWnd = &main;
    CInvokeHandler_RestartApp restart(L"RestartApp", &popup);
    Args none;
    EXPECT_EQ(Call(restart, kGet, none, nullptr), E_NOTIMPL);
    EXPECT_EQ(Call(restart, 0, none, nullptr), S_OK);
    EXPECT_EQ(Call(restart, kMethod, none, nullptr), S_OK);
    Deliver(2);
    app.m_pMainWnd = nullptr;
    EXPECT_EQ(m_record, (std::vector<std::wstring>{
                            L"popup 16 0", L"main " + std::to_wstring(WM_RESTART_CLIENT) + L" 0"}));
    EXPECT_EQ(Lines(), std::vector<std::string>{"call RestartApp"});
}

TEST_F(WindowCommands, ShowMessageWndReadAndBadArgumentsOpenNothing) {
    CInvokeHandler_ShowMessageWnd show(L"ShowMessageWnd");
    Args none;
    Result read;
    EXPECT_EQ(Call(show, kGet, none, &read.value), S_OK);
    EXPECT_EQ(read.value.vt, VT_BOOL);
    EXPECT_EQ(read.value.boolVal, 1);
    Args noHeight;
    noHeight.Text(L"res\\msg.html").Int(300);
    EXPECT_EQ(Call(show, kMethod, noHeight, nullptr), E_FAIL);
    Args textSize;
    textSize.Text(L"res\\msg.html").Text(L"300").Int(200);
    EXPECT_EQ(Call(show, kMethod, textSize, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(Lines().empty());
}

TEST(ShowMessageWndUrl, OnlyAnAddressStartingWithLowerCaseHttpStaysAsItIs) {
    const std::wstring dir = GetModuleDirectory(nullptr);
    EXPECT_EQ(ResolvePopupUrl(L"https://www.example/m"), L"https://www.example/m");
    EXPECT_EQ(ResolvePopupUrl(L"http://127.0.0.1/x"), L"http://127.0.0.1/x");
    EXPECT_EQ(ResolvePopupUrl(L"res\\msg.html"), dir + L"res/msg.html");
    EXPECT_EQ(ResolvePopupUrl(L"res/x/http/a.html"), dir + L"res/x/http/a.html");
    EXPECT_EQ(ResolvePopupUrl(L"./RES//sub/./100%.html"), dir + L"./RES//sub/./100%.html");
    // Not an address, and not a page of res/ either.
    EXPECT_EQ(ResolvePopupUrl(L"HTTP://host/a"), L"");
}

TEST(ShowMessageWndUrl, APathThatCouldLeaveResIsRefusedHoweverItIsWritten) {
    for (const wchar_t* path : {L"..\\..\\x.html",
                                L"res\\..\\..\\x.html",
                                L"res/../SongDeck",
                                L"res/sub/../../x.html",
                                L"res/%2e%2e/x.html",
                                L"res%2f..%2fx.html",
                                L"res/%252E%252e/x.html",
                                L"res/%25252e%25252e/x.html",
                                L"res/.../x.html",
                                L"res/.. /x.html",
                                L"res/. ./x.html",
                                L"/etc/passwd",
                                L"\\\\server\\share\\x.html",
                                L"C:\\x.html",
                                L"res/C:x.html",
                                L"res/C:x.html?t=1",
                                L"res/p.html?t=1/../../x.html",
                                L"file:///etc/passwd",
                                L"javascript:alert(1)",
                                L"x/http/a.html",
                                L"icons/a.html",
                                L"res",
                                L"res/",
                                L""}) {
        EXPECT_FALSE(IsResPagePath(path)) << WideToUtf8(path);
        EXPECT_EQ(ResolvePopupUrl(path), L"") << WideToUtf8(path);
    }
    EXPECT_FALSE(IsResPagePath(std::wstring(L"res/a.html\0/../../x", 19)));
    // Dots inside a name are only a name.
    EXPECT_TRUE(IsResPagePath(L"res/a..b/v1.2.html"));
    EXPECT_TRUE(IsResPagePath(L"res/..a.html"));
    EXPECT_TRUE(IsResPagePath(L"res/p.html?t=12:30#at:1"));  // ':' only in a query or fragment
}

TEST(ShowMessageWndSize, APageCannotAskForLessThanNothingOrMoreThanTheScreen) {
    EXPECT_EQ(ClampPopupExtent(300, 1280), 300);
    EXPECT_EQ(ClampPopupExtent(0, 1280), 0);
    EXPECT_EQ(ClampPopupExtent(-20, 1280), 0);
    EXPECT_EQ(ClampPopupExtent(100000, 1280), 1280);
    EXPECT_EQ(ClampPopupExtent(100, -1), 0);
}
