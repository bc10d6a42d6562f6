// The real client started as a user starts it, in a program folder with pages of the test's
// own: one running instance, the modes that end it, hide to the tray, the tray icon and menu,
// the hotkey and the option window.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "client_fixture.h"
#include "gui_support.h"
#include "platform/linux/display_session.h"
#include "support/process_tree.h"

namespace {

constexpr char kPaintingVariable[] = "WEBKIT_DISABLE_DMABUF_RENDERER=";

// The environment entries of the processes the given one started, one per line.
std::string DescendantsEnvironment(pid_t root) {
    std::string entries;
    for (const pid_t pid : testsupport::ProcessTree(root)) {
        std::ifstream environment("/proc/" + std::to_string(pid) + "/environ", std::ios::binary);
        for (std::string line; pid != root && std::getline(environment, line, '\0');) {
            entries += line + "\n";
        }
    }
    return entries;
}

using ClientApp = ClientTest;

TEST_F(ClientApp, ASecondStartRestoresTheHiddenClientAndEndsWithoutLogging) {
    const pid_t first = StartShown();
    HideMain(first);
    ASSERT_TRUE(m_folder.IsRunning(first));

    const pid_t second = m_folder.Start({"-hide"});
    int status = -1;
    ASSERT_TRUE(m_folder.WaitForExit(second, kClientStartMs, &status));
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(first); }, kClientStartMs))
        << "the running client was not restored";
    EXPECT_EQ(LogCount("启动程序"), 1);
    ExitClient(first);
}

TEST_F(ClientApp, TwoClientsStartedAtOnceLeaveExactlyOne) {
    const pid_t a = m_folder.Start({"-test"});
    const pid_t b = m_folder.Start({"-test"});
    ASSERT_TRUE(
        PumpUntil([&] { return !m_folder.IsRunning(a) || !m_folder.IsRunning(b); }, kClientStartMs))
        << "neither start handed over to the other";
    const pid_t survivor = m_folder.IsRunning(a) ? a : b;
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(survivor); }, kClientStartMs));
    PumpFor(1000);
    EXPECT_TRUE(m_folder.IsRunning(survivor));
    EXPECT_EQ(LogCount("启动程序"), 1);
    ExitClient(survivor);
}

TEST_F(ClientApp, ExitModeEndsTheRunningClientWhichSavesItsOptions) {
    const pid_t pid = StartShown();
    ExitClient(pid);
    EXPECT_EQ(m_folder.ConfigValue("FIRSTCLOSEMAINWND"), "1");
    EXPECT_EQ(m_folder.ConfigValue("VK"), "68");
}

TEST_F(ClientApp, UninstallEndsTheRunningClientBeforeItsDataIsRemoved) {
    const pid_t pid = StartShown();
    const pid_t uninstaller = m_folder.Start({"uninstall"});
    EXPECT_TRUE(m_folder.WaitForExit(uninstaller, kClientEndMs));
    EXPECT_TRUE(m_folder.WaitForExit(pid, kClientEndMs));
    // The client saved its options on the way out; the uninstaller removed them after it.
    EXPECT_FALSE(std::filesystem::exists(m_folder.UserDataDir()));
}

TEST_F(ClientApp, WithoutAnArgumentOnlyTheHintIsShownAndNothingIsLogged) {
    const pid_t pid = m_folder.Start({});
    std::string box;
    ASSERT_TRUE(PumpUntil([&] { return !(box = VisibleWindowTitled(pid, "操作提示")).empty(); },
                          kClientStartMs));
    TakeScreenshot("client-start-hint");
    RunCommand("xdotool windowactivate --sync " + box);
    RunCommand("xdotool key Return");
    EXPECT_TRUE(m_folder.WaitForExit(pid, kClientEndMs));
    EXPECT_EQ(m_folder.ReadLog(), "");
    EXPECT_EQ(m_folder.ReadConfig(), kQuietConfig);
}

TEST_F(ClientApp, ModeWordsAreExactOtherSpellingsStartTheClient) {
    const pid_t pid = StartShown({"Exit"});
    EXPECT_TRUE(m_folder.IsRunning(pid));
    ExitClient(pid);
}

TEST_F(ClientApp, TheInstallersModesRunWithoutADisplayButTheClientNeedsOne) {
    // Package scripts run the modes with no desktop session around them.
    m_folder.SetEnvironment("DISPLAY", "");
    std::filesystem::remove(m_folder.UserDataDir() / "config.ini");
    int status = -1;
    const pid_t installer = m_folder.Start({"install"});
    ASSERT_TRUE(m_folder.WaitForExit(installer, kClientEndMs, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(
        std::filesystem::exists(m_folder.Root() / "config/autostart/TavNelSongDeck.desktop"));

    const pid_t client = m_folder.Start({"-test"});
    ASSERT_TRUE(m_folder.WaitForExit(client, kClientEndMs, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0);
    EXPECT_EQ(LogCount("启动程序"), 0);

    const pid_t uninstaller = m_folder.Start({"uninstall"});
    ASSERT_TRUE(m_folder.WaitForExit(uninstaller, kClientEndMs, &status));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_FALSE(
        std::filesystem::exists(m_folder.Root() / "config/autostart/TavNelSongDeck.desktop"));
}

TEST_F(ClientApp, AKilledClientDoesNotStopTheNextStart) {
    const pid_t killed = StartShown();
    kill(killed, SIGKILL);
    ASSERT_TRUE(m_folder.WaitForExit(killed, kClientEndMs));
    const pid_t next = StartShown();
    EXPECT_TRUE(m_folder.IsRunning(next));
    EXPECT_EQ(LogCount("启动程序"), 2);
    ExitClient(next);
}

TEST_F(ClientApp, ASilentUpdateCheckThatFindsNoServerNeitherShowsNorHoldsUpTheExit) {
    m_folder.WriteConfig("[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=1\n");
    const pid_t pid = StartShown();
    PumpFor(1000);
    // A silent check keeps its failures to itself: no update dialog.
    EXPECT_EQ(VisibleWindowTitled(pid, "Quorvi更新"), "");
    ExitClient(pid);
}

TEST_F(ClientApp, WithoutAGpuTheWebEnginePaintsDirectlyUnlessTheUserChoseOtherwise) {
    if (platform::session::HasRenderNode()) {
        GTEST_SKIP() << "this machine has a GPU render node: the engine composites";
    }
    const pid_t pid = StartShown();
    EXPECT_EQ(LogCount("no GPU render node: pages painted without compositing"), 1);
    EXPECT_NE(DescendantsEnvironment(pid).find(std::string(kPaintingVariable) + "1\n"),
              std::string::npos)
        << "the web process was not told";
    ExitClient(pid);

    m_folder.SetEnvironment("WEBKIT_DISABLE_DMABUF_RENDERER", "0");
    const pid_t chosen = StartShown();
    EXPECT_EQ(LogCount("no GPU render node"), 1) << "the user's own setting was replaced";
    EXPECT_NE(DescendantsEnvironment(chosen).find(std::string(kPaintingVariable) + "0\n"),
              std::string::npos);
    ExitClient(chosen);
}

}  // namespace
