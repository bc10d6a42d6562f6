// The real client under a real Wayland compositor (tests/gui/wayland_session.sh: weston's
// headless backend, with or without XWayland). Under the X11 session these tests skip.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "client_fixture.h"
#include "gui_support.h"

namespace {

// The main page opens a popup of 200 x 100 once it has loaded.
const char kPopupMainPage[] =
    "<!DOCTYPE html><html><head><meta charset='utf-8'><title>TestMain</title></head>"
    "<body style='width:600px;height:400px;margin:0'><h1>Test main page</h1><script>"
    "window.addEventListener('load', () => window.external.ShowMessageWnd("
    "'res/popup.html', 200, 100));</script></body></html>";
const char kPopupPage[] =
    "<!DOCTYPE html><html><head><meta charset='utf-8'><title>TestPopup</title></head>"
    "<body style='margin:0;background:#744210'>popup</body></html>";

class WaylandSession : public ClientTest {
protected:
    void SetUp() override {
        if (std::getenv("WAYLAND_DISPLAY") == nullptr) {
            GTEST_SKIP() << "runs under tests/gui/wayland_session.sh (ctest gui_wayland)";
        }
        ClientTest::SetUp();
        // The test program's own GTK set it for its web views; the client must choose itself.
        m_folder.SetEnvironment("GDK_BACKEND", "");
        m_folder.WritePage("main.html", kPopupMainPage);
        m_folder.WritePage("popup.html", kPopupPage);
    }

    std::string ClientOutput() {
        std::ifstream in(m_folder.Root() / "client-output.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
};

TEST_F(WaylandSession, TheClientShowsItsWindowsAndEndsOnExitWithoutCriticals) {
    if (std::getenv("DISPLAY") == nullptr) {
        // No XWayland: the Wayland backend, windows placed by the compositor, out of the X
        // tools' sight. No portal and no X display leave no hotkey to register.
        m_folder.WriteConfig("[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=0\nVK=0\nMODIFIERS=0\n");
        const pid_t pid = m_folder.Start({"-test"});
        EXPECT_TRUE(PumpUntil([&] { return LogCount("call ShowMessageWnd") == 1; }, kClientStartMs))
            << "the main page did not load and call the client";
        EXPECT_EQ(LogCount("Wayland session without XWayland"), 1);
        ExitClient(pid);
        // Only the client's own: WebKit's web process has a GDK of its own.
        EXPECT_EQ(ClientOutput().find("(SongDeck:"), std::string::npos) << ClientOutput();
        return;
    }
    const pid_t pid = StartShown();
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(WindowGeometry(VisibleWindowTitled(pid, "TestMain"), &x, &y, &width, &height));
    EXPECT_EQ(width, 600);
    EXPECT_EQ(height, 400);
    std::string popup;
    ASSERT_TRUE(PumpUntil([&] { return !(popup = VisibleWindowTitled(pid, "TestPopup")).empty(); },
                          kClientStartMs));
    // Once it has slid in.
    PumpFor(1500);
    // Rootless XWayland draws no root window: each window is taken on its own.
    RunCommand("import -window " + VisibleWindowTitled(pid, "TestMain") + " " + GuiWorkDir() +
               "/wayland-main.png");
    RunCommand("import -window " + popup + " " + GuiWorkDir() + "/wayland-popup.png");
    int screenWidth = 0, screenHeight = 0;
    std::istringstream(RunCommand("xdotool getdisplaygeometry")) >> screenWidth >> screenHeight;
    ASSERT_GT(screenWidth, 0);
    ASSERT_TRUE(WindowGeometry(popup, &x, &y, &width, &height));
    EXPECT_EQ(width, 200);
    EXPECT_EQ(height, 100);
    EXPECT_TRUE(x >= 0 && y >= 0 && x + width <= screenWidth && y + height <= screenHeight)
        << "popup at " << x << "," << y << " on a screen of " << screenWidth << "x" << screenHeight;
    EXPECT_EQ(LogCount("Wayland session: windows through XWayland"), 1);
    ExitClient(pid);
    EXPECT_EQ(ClientOutput().find("CRITICAL"), std::string::npos) << ClientOutput();
}

}  // namespace
