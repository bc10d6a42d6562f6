// A check for updates the user asks for from the option page: the progress dialog comes up,
// and asking again while it is open brings that dialog forward instead of starting over.
#include <gtest/gtest.h>

#include <string>

#include "client_fixture.h"
#include "gui_support.h"

namespace {

using ClientUpdateCheck = ClientTest;

constexpr char kUpdateDialogTitle[] = "Quorvi更新";

std::vector<std::string> UpdateDialogs(pid_t pid) {
    std::vector<std::string> dialogs;
    for (const std::string& window : WindowsOfProcess(pid, true)) {
        if (WindowName(window) == kUpdateDialogTitle) {
            dialogs.push_back(window);
        }
    }
    return dialogs;
}

TEST_F(ClientUpdateCheck, AskingAgainWhileTheDialogIsOpenOnlyBringsItForward) {
    // The option page asks for a check when it loads and again at every click.
    m_folder.WritePage("Option.html",
                       "<html><head><title>TestOptions</title></head>"
                       "<body style='width:420px;height:300px;margin:0' "
                       "onclick=\"window.external.SetOptionData(1, 'CHECKUPDATE')\">"
                       "<script>window.external.SetOptionData(1, 'CHECKUPDATE');</script>"
                       "</body></html>");
    m_folder.WritePage("main.html",
                       "<html><head><title>TestMain</title></head>"
                       "<body style='width:600px;height:400px'>"
                       "<script>window.external.OpenOptionWnd();</script></body></html>");
    const pid_t pid = StartShown();
    ASSERT_TRUE(PumpUntil([&] { return UpdateDialogs(pid).size() == 1; }, kClientStartMs))
        << "no update dialog";
    const std::string dialog = UpdateDialogs(pid).front();
    TakeScreenshot("client-update-dialog");

    const std::string options = VisibleWindowTitled(pid, "TestOptions");
    ASSERT_FALSE(options.empty());
    // Out from under the dialog, then a click on the page.
    RunCommand("xdotool windowmove --sync " + options + " 0 0");
    RunCommand("xdotool windowactivate --sync " + options);
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(PumpUntil(
        [&] { return WindowGeometry(options, &x, &y, &width, &height) && x < 50 && y < 80; },
        kClientEndMs));
    RunCommand("xdotool mousemove --sync " + std::to_string(x + 10) + " " +
               std::to_string(y + height - 10) + " click 1");
    ASSERT_TRUE(PumpUntil([&] { return LogCount("DataName:CHECKUPDATE") == 2; }, kClientEndMs))
        << "the second request did not reach the client:\n"
        << m_folder.ReadLog();
    PumpFor(1000);
    const std::vector<std::string> after = UpdateDialogs(pid);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after.front(), dialog) << "the check started over with a new dialog";
    ExitClient(pid);
}

}  // namespace
