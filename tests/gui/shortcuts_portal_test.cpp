// The show hotkey of a client in a Wayland session: bound through a stand-in GlobalShortcuts
// portal on the session bus, or grabbed on X11 where no portal runs. The client believes it
// is in a Wayland session (WAYLAND_DISPLAY is set) and still draws on the test's X display.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "client_fixture.h"
#include "gui_support.h"
#include "stand_in_portal.h"

namespace {

constexpr char kFocusOnly[] = "the hotkey works only while SongDeck has the focus";

class ShortcutsPortal : public ClientTest {
protected:
    void SetUp() override {
        ClientTest::SetUp();
        m_folder.SetEnvironment("WAYLAND_DISPLAY", "songdeck-test-compositor");
    }

    // The hotkey's warning box: a dialog of the client titled as the client.
    bool WarningBoxShown(pid_t pid) {
        for (const std::string& window : WindowsOfProcess(pid, true)) {
            if (WindowName(window) == "Quorvi" &&
                RunCommand("xprop -id " + window + " _NET_WM_WINDOW_TYPE").find("DIALOG") !=
                    std::string::npos) {
                return true;
            }
        }
        return false;
    }
};

using Behaviour = CStandInPortal::Behaviour;
class ShortcutsPortalDesktop : public ShortcutsPortal,
                               public ::testing::WithParamInterface<Behaviour> {};
// Whether a portal without a backend is on the bus.
class ShortcutsPortalFallback : public ShortcutsPortal,
                                public ::testing::WithParamInterface<bool> {};

// As documented, and as KDE Plasma 5.27: the shortcuts only from CreateSession, the key kept by
// the first session token that got it, and no dialog.
TEST_P(ShortcutsPortalDesktop, TheDesktopBindsTheHotkeyRestoresTheWindowAndRebindsAfterTheOptions) {
    const bool kde = GetParam() == Behaviour::Kde527;
    CStandInPortal portal(GetParam());
    ASSERT_TRUE(portal.Running()) << "the stand-in portal could not own its name";
    // "O" on the main page opens the option window, whose page sets Ctrl+Alt+F.
    m_folder.WritePage("main.html", std::string(kTestMainPage)
                                        .replace(std::string(kTestMainPage).find("</body>"), 7,
                                                 "<script>document.onkeydown = function (e) {"
                                                 "if (e.keyCode == 79) {"
                                                 "window.external.OpenOptionWnd(); } };"
                                                 "</script></body>"));
    pid_t pid = StartShown();
    ASSERT_TRUE(PumpUntil([&] { return !portal.Triggers().empty(); }, kClientStartMs));
    EXPECT_EQ(portal.Triggers().front(), "CTRL+D");
    EXPECT_EQ(portal.Descriptions().front(), "显示主窗口");
    RunCommand("xdotool windowactivate --sync " + VisibleWindowTitled(pid, "TestMain"), nullptr,
               5000);
    RunCommand("xdotool key o");
    ASSERT_TRUE(PumpUntil([&] { return !VisibleWindowTitled(pid, "TestOptionsSet").empty(); },
                          kClientStartMs));
    // The option page may capture any combination: the binding goes while it is open.
    EXPECT_TRUE(PumpUntil([&] { return portal.BoundSession().empty(); }, kClientEndMs));

    // The user picks another trigger in the desktop's dialog than the one asked for.
    portal.DescribeTriggerAs("Shift+F12");
    CloseWindowTitled(pid, "TestOptionsSet");
    ASSERT_TRUE(PumpUntil([&] { return portal.Triggers().size() == 2; }, kClientEndMs))
        << "closing the options did not bind the hotkey again";
    EXPECT_EQ(portal.Triggers().back(), "CTRL+ALT+F");
    EXPECT_EQ(portal.ClosedSessions().size(), 1u);
    const std::string key = kde ? "CTRL+ALT+F" : "Shift+F12";

    HideMain(pid);
    // The old key went with the options.
    portal.Press("CTRL+D");
    PumpFor(800);
    EXPECT_FALSE(MainVisible(pid));
    portal.Press(key);
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientEndMs))
        << "the portal's Activated did not bring the window back";
    // The bind's answer came before Activated: the desktop's own choice is in the log by now.
    EXPECT_EQ(LogCount("bound Shift+F12 instead of CTRL+ALT+F"), kde ? 0 : 1);
    EXPECT_EQ(LogCount(kFocusOnly), 0);
    ExitClient(pid);
    EXPECT_EQ(portal.ClosedSessions().size(), 2u) << "the session outlived the client's window";

    // The desktop still knows the key when the client comes back.
    pid = StartShown();
    ASSERT_TRUE(PumpUntil([&] { return portal.BoundSessions().size() == 3; }, kClientStartMs));
    HideMain(pid);
    portal.Press(key);
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientEndMs))
        << "the key did not work after a restart";
    // A session the desktop ends is opened again, once.
    portal.CloseFromDesktop();
    EXPECT_TRUE(PumpUntil([&] { return portal.BoundSessions().size() == 4; }, kClientEndMs));
    portal.CloseFromDesktop();
    EXPECT_TRUE(PumpUntil([&] { return LogCount("closed the GlobalShortcuts session again") == 1; },
                          kClientEndMs));
    EXPECT_EQ(portal.BoundSessions().size(), 4u);
    ExitClient(pid);
}

INSTANTIATE_TEST_SUITE_P(Desktops, ShortcutsPortalDesktop,
                         ::testing::Values(Behaviour::Documented, Behaviour::Kde527));

TEST_P(ShortcutsPortalFallback, ARefusalWarnsAndWithoutAPortalTheGrabWorksWithTheFocusNoted) {
    if (!GetParam()) {
        CStandInPortal portal;
        ASSERT_TRUE(portal.Running());
        portal.Refuse();
        const pid_t pid = m_folder.Start({"-test"});
        EXPECT_TRUE(PumpUntil([&] { return WarningBoxShown(pid); }, kClientStartMs))
            << "a refused binding gave no warning";
        EXPECT_TRUE(PumpUntil([&] { return portal.ClosedSessions().size() == 1; }, kClientEndMs))
            << "the refused session stayed open";
        m_folder.KillAll();
        m_folder.WaitForExit(pid, kClientEndMs);
    }

    // No portal on the bus, or one without a backend: the X11 grab, which the desktop feeds
    // only to the focused window.
    std::optional<CStandInPortal> backendless;
    if (GetParam()) {
        backendless.emplace(Behaviour::NoBackend);
    }
    CNotificationRecorder notifications;
    const pid_t pid = StartShown();
    EXPECT_TRUE(PumpUntil([&] { return LogCount(kFocusOnly) == 1; }, kClientEndMs));
    EXPECT_FALSE(WarningBoxShown(pid));
    HideMain(pid);
    EXPECT_TRUE(PumpUntil(
        [&] {
            return notifications.Text().find("热键仅在Quorvi窗口有焦点时有效") != std::string::npos;
        },
        kClientEndMs))
        << "the one-time hint did not say the hotkey needs the focus";
    RunCommand("xdotool key --clearmodifiers ctrl+d");
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientEndMs));
    ExitClient(pid);
}

INSTANTIATE_TEST_SUITE_P(Desktops, ShortcutsPortalFallback, ::testing::Bool());

}  // namespace
