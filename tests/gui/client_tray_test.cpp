// The real client in the tray: hiding on close with the one-time hint, the icon's double click
// and menu, the global hotkey (free and taken), and the option window saving on close.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "client_fixture.h"
#include "gui_support.h"
#include "platform/hotkey.h"
#include "platform/wnd.h"
#include "support/test_http_server.h"
#include "web_test_support.h"

namespace {

const char kFirstHint[] = "您可以双击该图标或者通过热键Ctrl+D打开Quorvi";

class ClientTray : public ClientTest {
protected:
    // The tray icon's centre on screen: the client's small mapped window in the panel.
    bool TrayIconCentre(pid_t pid, int* x, int* y) {
        for (const std::string& window : WindowsOfProcess(pid, true)) {
            int left = 0, top = 0, width = 0, height = 0;
            if (WindowGeometry(window, &left, &top, &width, &height) && width <= 48 &&
                height <= 48 && width > 0) {
                *x = left + width / 2;
                *y = top + height / 2;
                return true;
            }
        }
        return false;
    }
    void ClickTray(pid_t pid, const std::string& clicks) {
        int x = 0, y = 0;
        ASSERT_TRUE(PumpUntil([&] { return TrayIconCentre(pid, &x, &y); }, kClientStartMs))
            << "no tray icon";
        // The pointer enters the icon afresh, as a user's does, even where the last test left it.
        RunCommand("xdotool mousemove --sync 0 0");
        RunCommand("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y) + " " +
                   clicks);
    }
    // Opens the tray menu: its window's frame once it is shown and has settled.
    bool OpenTrayMenu(pid_t pid, int* x, int* y, int* width, int* height) {
        const std::vector<std::string> before = WindowsOfProcess(pid, true);
        ClickTray(pid, "click 3");
        std::string menu;
        const bool shown = PumpUntil(
            [&] {
                for (const std::string& window : WindowsOfProcess(pid, true)) {
                    if (std::find(before.begin(), before.end(), window) == before.end() &&
                        WindowGeometry(window, x, y, width, height) && *height >= 60) {
                        menu = window;
                        return true;
                    }
                }
                return false;
            },
            kClientEndMs);
        PumpFor(500);
        return shown && WindowGeometry(menu, x, y, width, height);
    }
    // Picks the menu's n-th item (1 打开, 2 选项, 3 关于, 4 退出) with the mouse: the four items
    // share the menu's height.
    void ChooseTrayMenuItem(pid_t pid, int item) {
        int x = 0, y = 0, width = 0, height = 0;
        ASSERT_TRUE(OpenTrayMenu(pid, &x, &y, &width, &height)) << "the tray menu did not open";
        const int itemY = y + height * (2 * item - 1) / 8;
        RunCommand("xdotool mousemove --sync " + std::to_string(x + width / 2) + " " +
                   std::to_string(itemY) + " click 1");
    }
    // The hotkey warning box of a starting client; "" when none showed in time.
    std::string WaitForHotkeyWarning(pid_t pid) {
        std::string box;
        PumpUntil(
            [&] {
                for (const std::string& window : WindowsOfProcess(pid, true)) {
                    if (WindowName(window) == "Quorvi" &&
                        RunCommand("xprop -id " + window + " _NET_WM_WINDOW_TYPE").find("DIALOG") !=
                            std::string::npos) {
                        box = window;
                        return true;
                    }
                }
                return false;
            },
            kClientStartMs);
        return box;
    }
};

TEST_F(ClientTray, CloseHidesToTheTrayWithTheHintOnceAndADoubleClickBringsItBack) {
    CNotificationRecorder notifications;
    const pid_t pid = StartShown();
    HideMain(pid);
    ASSERT_TRUE(PumpUntil([&] { return notifications.Count() == 1; }, 10000)) << "no hint balloon";
    EXPECT_NE(notifications.Text().find(kFirstHint), std::string::npos) << notifications.Text();

    ClickTray(pid, "click --repeat 2 --delay 80 1");
    ASSERT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientEndMs))
        << "double click did not restore";
    HideMain(pid);
    PumpFor(1500);
    EXPECT_EQ(notifications.Count(), 1) << "the hint came twice";
    ExitClient(pid);
    EXPECT_EQ(m_folder.ConfigValue("FIRSTCLOSEMAINWND"), "0");

    // The saved 0 holds for the next start too.
    const pid_t again = StartShown();
    HideMain(again);
    PumpFor(1500);
    EXPECT_EQ(notifications.Count(), 1);
    ExitClient(again);
}

TEST_F(ClientTray, ASingleClickOnTheIconBringsNothingIntoView) {
    const pid_t pid = StartShown();
    HideMain(pid);
    ClickTray(pid, "click 1");
    PumpFor(1500);
    EXPECT_FALSE(MainVisible(pid));
    ExitClient(pid);
}

TEST_F(ClientTray, TheMenuOpensOneOptionWindowAndItsExitEndsTheClient) {
    const pid_t pid = StartShown();
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(OpenTrayMenu(pid, &x, &y, &width, &height));
    TakeScreenshot("client-tray-menu");
    // A click outside closes it without a choice.
    const size_t withMenu = WindowsOfProcess(pid, true).size();
    RunCommand("xdotool mousemove --sync 5 5 click 1");
    ASSERT_TRUE(PumpUntil([&] { return WindowsOfProcess(pid, true).size() < withMenu; }, 10000));

    ChooseTrayMenuItem(pid, 2);
    ASSERT_TRUE(PumpUntil([&] { return !VisibleWindowTitled(pid, "TestOptionsSet").empty(); },
                          kClientStartMs))
        << "选项 did not open the option window";
    ChooseTrayMenuItem(pid, 2);
    PumpFor(1000);
    int optionWindows = 0;
    for (const std::string& window : WindowsOfProcess(pid, true)) {
        optionWindows += WindowName(window) == "TestOptionsSet" ? 1 : 0;
    }
    EXPECT_EQ(optionWindows, 1);

    ChooseTrayMenuItem(pid, 4);
    EXPECT_TRUE(m_folder.WaitForExit(pid, kClientEndMs)) << "退出 did not end the client";
    // The option window was closed on the way out and saved the options it had changed.
    EXPECT_EQ(m_folder.ConfigValue("VK"), "70");
}

TEST_F(ClientTray, TheHotkeyBringsTheHiddenWindowBack) {
    const pid_t pid = StartShown();
    HideMain(pid);
    RunCommand("xdotool key --clearmodifiers ctrl+d");
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientEndMs)) << "Ctrl+D did nothing";
    ExitClient(pid);
}

TEST_F(ClientTray, NoHotkeySetMeansNoHotkeyAndNoWarning) {
    m_folder.WriteConfig("[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=0\nVK=0\nMODIFIERS=0\n");
    const pid_t pid = StartShown();
    EXPECT_EQ(VisibleWindowTitled(pid, "Quorvi"), "") << "a warning for a hotkey never set";
    HideMain(pid);
    RunCommand("xdotool key --clearmodifiers ctrl+d");
    PumpFor(1500);
    EXPECT_FALSE(MainVisible(pid));
    ExitClient(pid);
}

TEST_F(ClientTray, AHotkeyHeldByAnotherProgramGivesTheWarningBox) {
    CWnd holder;
    ASSERT_TRUE(holder.CreateEx(0, L"HotkeyHolder", L"", 0, RECT{0, 0, 0, 0}, nullptr, 0));
    ASSERT_TRUE(RegisterHotKey(holder.GetSafeHwnd(), 1, MOD_CONTROL, 'D'));

    const pid_t pid = m_folder.Start({"-test"});
    const std::string box = WaitForHotkeyWarning(pid);
    UnregisterHotKey(holder.GetSafeHwnd(), 1);
    ASSERT_NE(box, "") << "no warning box";
    TakeScreenshot("client-hotkey-warning");
    RunCommand("xdotool windowactivate --sync " + box);
    RunCommand("xdotool key Return");
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientStartMs));
    EXPECT_TRUE(m_folder.IsRunning(pid));
    ExitClient(pid);
}

TEST_F(ClientTray, ABareKeyStaysFreeForOtherProgramsAndAnExitDuringItsWarningEndsTheClient) {
    testsupport::TestHttpServer server;
    m_folder.WriteProgramFile("test.ini", "[CLIENT_PROFILE_SHEET]\nUPDATE_CONFIG_URL=" +
                                              server.Url("/update.xml") + "\n");
    m_folder.WriteConfig("[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=1\nVK=65\nMODIFIERS=0\n");
    // As the first start of a new version: its page shown, it gives its word before the box.
    const std::filesystem::path kept = m_folder.CommonDataDir() / "previous";
    std::filesystem::create_directories(kept);
    std::ofstream(kept / "list") << "10000020000\n";
    const pid_t pid = m_folder.Start({"-test"});
    ASSERT_NE(WaitForHotkeyWarning(pid), "") << "a bare key was refused without a word";
    EXPECT_TRUE(std::filesystem::exists(kept / "started")) << "the word waits for the box";
    TakeScreenshot("client-bare-key-warning");
    CWnd other;
    ASSERT_TRUE(other.CreateEx(0, L"PlainKeyUser", L"", 0, RECT{0, 0, 0, 0}, nullptr, 0));
    EXPECT_TRUE(RegisterHotKey(other.GetSafeHwnd(), 1, 0, 'A'))
        << "the client took plain \"a\" from every program";
    UnregisterHotKey(other.GetSafeHwnd(), 1);

    // The box still waits inside the main window's creation: "exit" ends the client now, box
    // and all, and it leaves as it always does, its options saved.
    const pid_t exiter = m_folder.Start({"exit"});
    EXPECT_TRUE(m_folder.WaitForExit(exiter, kClientEndMs));
    int status = -1;
    ASSERT_TRUE(m_folder.WaitForExit(pid, kClientEndMs, &status)) << "the box kept the client";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(LogCount("FATAL"), 0) << m_folder.ReadLog();
    EXPECT_EQ(m_folder.ConfigValue("VK"), "65");
    EXPECT_EQ(m_folder.ConfigValue("FIRSTCLOSEMAINWND"), "1");
    EXPECT_TRUE(server.Requests().empty()) << "an update check started on the way out";
}

TEST_F(ClientTray, TheOptionWindowSavesOnCloseAndTheNewHotkeyWorksAtOnce) {
    m_folder.WritePage("main.html", std::string(kTestMainPage)
                                        .replace(std::string(kTestMainPage).find("</body>"), 7,
                                                 "<script>window.external.OpenOptionWnd();"
                                                 "</script></body>"));
    const pid_t pid = StartShown();
    std::string options;
    ASSERT_TRUE(
        PumpUntil([&] { return !(options = VisibleWindowTitled(pid, "TestOptionsSet")).empty(); },
                  kClientStartMs));
    PumpFor(500);
    TakeScreenshot("client-main-and-options");
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(WindowGeometry(options, &x, &y, &width, &height));
    EXPECT_EQ(width, 420);
    EXPECT_EQ(height, 300);
    // Changed in memory only until the window closes.
    EXPECT_EQ(m_folder.ConfigValue("VK"), "");

    CloseWindowTitled(pid, "TestOptionsSet");
    ASSERT_TRUE(PumpUntil([&] { return VisibleWindowTitled(pid, "TestOptionsSet").empty(); },
                          kClientEndMs));
    EXPECT_TRUE(PumpUntil([&] { return m_folder.ConfigValue("VK") == "70"; }, kClientEndMs));
    EXPECT_EQ(m_folder.ConfigValue("MODIFIERS"), "6");

    HideMain(pid);
    RunCommand("xdotool key --clearmodifiers ctrl+alt+f");
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientEndMs))
        << "the new hotkey did nothing";
    ExitClient(pid);
}

TEST_F(ClientTray, AStartPageThatNeverFinishesLoadingStillGetsTheTrayIconAndTheHotkey) {
    // The page waits for an image from a server that never sends it, so it never completes
    // and the window never shows by itself.
    testsupport::TestHttpServer server;
    server.On("/stalled.png", [](const testsupport::HttpTestRequest&) {
        return webtest::StalledReply("never sent", 120000);
    });
    m_folder.WriteProgramFile("test.ini", "[CLIENT_PROFILE_SHEET]\nUPDATE_CONFIG_URL=" +
                                              server.Url("/update.xml") + "\n");
    m_folder.WriteConfig("[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=1\n");
    const std::string title = "TestMain, which turns the check off and moves the hotkey to Ctrl+F";
    m_folder.WritePage("main.html", "<title>" + title +
                                        "</title><script>external.SetOptionData(0, "
                                        "'AUTOUPDATE');external.SetOptionData(70, 'HOTKEY_VK');"
                                        "</script>stuck<img src='" +
                                        server.Url("/stalled.png") + "'>");
    const pid_t pid = m_folder.Start({"-test"});
    int x = 0, y = 0;
    ASSERT_TRUE(PumpUntil([&] { return TrayIconCentre(pid, &x, &y); }, kClientStartMs))
        << "no tray icon while the start page loads";
    EXPECT_FALSE(MainVisible(pid));
    RunCommand("xdotool mousemove --sync " + std::to_string(x) + " " + std::to_string(y));
    EXPECT_TRUE(PumpUntil(
        [&] {
            for (const std::string& window : WindowsOfProcess(pid, true)) {
                int w = 0, h = 0;
                if (WindowGeometry(window, &x, &y, &w, &h) && h < 60 && w > 240) {
                    return true;
                }
            }
            return false;
        },
        kClientEndMs))
        << "no tip as wide as the page's title";
    RunCommand("xdotool key --clearmodifiers ctrl+d");
    EXPECT_TRUE(PumpUntil([&] { return !VisibleWindowTitled(pid, title).empty(); }, kClientEndMs))
        << "Ctrl+D did not bring the window up";
    EXPECT_TRUE(PumpUntil([&] { return !server.RequestsFor("/update.xml").empty(); }, kClientEndMs))
        << "the page's AUTOUPDATE 0 cancelled the silent check config.ini asked for";
    EXPECT_EQ(LogCount("启动程序"), 1);
    ExitClient(pid);
}

TEST_F(ClientTray, AStartPageThatCannotLoadEndsOnAnErrorPageInsteadOfReloadingForever) {
    std::filesystem::remove(m_folder.ProgramDir() / "res/main.html");
    const pid_t pid = m_folder.Start({"-test"});
    ASSERT_TRUE(
        PumpUntil([&] { return !VisibleWindowTitled(pid, "Quorvi").empty(); }, kClientStartMs))
        << "no error page";
    TakeScreenshot("client-error-page");
    PumpFor(1000);
    EXPECT_FALSE(VisibleWindowTitled(pid, "Quorvi").empty());
    ExitClient(pid);
}

}  // namespace
