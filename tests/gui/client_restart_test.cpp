// The real client's restart through the launcher, and its close on a desktop without a tray.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "client_fixture.h"
#include "gui_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

using ClientRestart = ClientTest;

// A display of its own with a window manager but no panel, no tray and no StatusNotifierItem
// watcher; the test's desktop tools and the clients it starts use it while this lives.
class COtherDesktop {
public:
    COtherDesktop() {
        const char* old = std::getenv("DISPLAY");
        m_strOldDisplay = old != nullptr ? old : "";
        m_displayFile = fs::path(GuiWorkDir()) / ("other-display-" + std::to_string(getpid()));
        const std::string xvfb = "exec Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>'" +
                                 m_displayFile.string() + "' 2>/dev/null";
        m_xvfb = Spawn(xvfb);
        std::string display;
        PumpUntil(
            [&] {
                std::ifstream file(m_displayFile);
                return static_cast<bool>(std::getline(file, display)) && !display.empty();
            },
            10000);
        if (display.empty()) {
            return;
        }
        setenv("DISPLAY", (":" + display).c_str(), 1);
        m_openbox = Spawn("exec openbox --sm-disable >/dev/null 2>&1");
        m_bReady = PumpUntil(
            [] {
                return RunCommand("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") !=
                       std::string::npos;
            },
            20000);
    }
    ~COtherDesktop() {
        for (const pid_t pid : {m_openbox, m_xvfb}) {
            if (pid > 0) {
                kill(pid, SIGTERM);
                waitpid(pid, nullptr, 0);
            }
        }
        setenv("DISPLAY", m_strOldDisplay.c_str(), 1);
    }
    bool IsReady() const { return m_bReady; }

private:
    static pid_t Spawn(const std::string& command) {
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        pid_t pid = -1;
        posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ);
        return pid;
    }

    std::string m_strOldDisplay;
    fs::path m_displayFile;
    pid_t m_xvfb = -1;
    pid_t m_openbox = -1;
    bool m_bReady = false;
};

TEST_F(ClientRestart, RestartAppEndsTheClientAndTheLauncherStartsANewOneThatRuns) {
    // The launcher of this program folder records that it ran and starts the client again.
    const fs::path marker = m_folder.Root() / "launcher-ran";
    m_folder.WriteProgramFile("RunSongDeck", "#!/bin/sh\necho ran > '" + marker.string() +
                                                 "'\nexec \"$(dirname \"$0\")/SongDeck\" "
                                                 "relaunched\n");
    chmod((m_folder.ProgramDir() / "RunSongDeck").c_str(), 0755);
    m_folder.WritePage("restart.html",
                       "<html><head><title>TestRestart</title></head>"
                       "<body style='width:200px;height:100px'>"
                       "<script>window.external.RestartApp();</script></body></html>");
    m_folder.WritePage("main.html",
                       "<html><head><title>TestMain</title></head>"
                       "<body style='width:600px;height:400px'><script>"
                       "if (!sessionStorage.getItem('popped')) {"
                       "  sessionStorage.setItem('popped', '1');"
                       "  window.external.ShowMessageWnd('res/restart.html', 200, 100);"
                       "}</script></body></html>");
    const pid_t first = m_folder.Start({"-test"});
    ASSERT_GT(first, 0);
    ASSERT_TRUE(m_folder.WaitForExit(first, kClientStartMs)) << "RestartApp did not end the client";
    ASSERT_TRUE(PumpUntil([&] { return fs::exists(marker); }, kClientEndMs))
        << "the launcher was not started";
    // The client the launcher started is the running one: a second start finds it.
    ASSERT_TRUE(PumpUntil([&] { return LogCount("启动程序") == 2; }, kClientStartMs));
    const pid_t probe = m_folder.Start({"exit"});
    EXPECT_TRUE(m_folder.WaitForExit(probe, kClientEndMs));
    // The relaunched client saved its options on the way out, so it ran and ended cleanly.
    EXPECT_TRUE(
        PumpUntil([&] { return m_folder.ConfigValue("FIRSTCLOSEMAINWND") == "1"; }, kClientEndMs));
}

TEST_F(ClientRestart, WithoutATrayCloseMinimizesAndTheHintSaysHowToComeBack) {
    COtherDesktop desktop;
    ASSERT_TRUE(desktop.IsReady()) << "no second desktop";
    const pid_t pid = StartShown();
    HideMain(pid);
    std::string box;
    ASSERT_TRUE(PumpUntil([&] { return !(box = VisibleWindowTitled(pid, "Quorvi")).empty(); },
                          kClientStartMs))
        << "no hint box";
    TakeScreenshot("client-no-tray-hint");
    std::string state;
    for (const std::string& window : WindowsOfProcess(pid, false)) {
        if (WindowName(window) == "TestMain") {
            state = RunCommand("xprop -id " + window + " _NET_WM_STATE");
        }
    }
    EXPECT_NE(state.find("_NET_WM_STATE_HIDDEN"), std::string::npos) << "not minimized: " << state;
    RunCommand("xdotool windowactivate --sync " + box);
    RunCommand("xdotool key Return");
    ASSERT_TRUE(
        PumpUntil([&] { return VisibleWindowTitled(pid, "Quorvi").empty(); }, kClientEndMs));

    // Starting the client again brings the minimized window back.
    const pid_t second = m_folder.Start({"-test"});
    EXPECT_TRUE(m_folder.WaitForExit(second, kClientStartMs));
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientStartMs));
    ExitClient(pid);
    EXPECT_EQ(m_folder.ConfigValue("FIRSTCLOSEMAINWND"), "0");
}

}  // namespace
