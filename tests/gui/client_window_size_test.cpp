// The main window's size: the start page's declared size centred, the service start page's
// declared size kept at the window's corner and remembered for the next start; and every window
// the client places itself where it belongs at the desktop's scale (the gui_hidpi run: a
// 2560 x 1600 screen at GDK_SCALE=2).
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "client_fixture.h"
#include "gui_support.h"
#include "support/test_http_server.h"

namespace {

using ClientWindowSize = ClientTest;

testsupport::HttpTestReply HtmlReply(const std::string& html) {
    testsupport::HttpTestReply reply = testsupport::HttpTestReply::Text(200, html);
    reply.headers = {{"Content-Type", "text/html; charset=utf-8"}};
    return reply;
}

struct Frame {
    int x = 0, y = 0, width = 0, height = 0;
};

Frame MainFrame(pid_t pid, const std::string& title) {
    Frame frame;
    WindowGeometry(VisibleWindowTitled(pid, title), &frame.x, &frame.y, &frame.width,
                   &frame.height);
    return frame;
}

TEST_F(ClientWindowSize, TheStartPageSizeIsCentredAndTheServicePageSizeIsKeptForTheNextStart) {
    testsupport::TestHttpServer server;
    server.On("/m", [](const testsupport::HttpTestRequest&) {
        return HtmlReply(
            "<html><head><title>TestService</title></head>"
            "<body style='width:700px;height:480px;margin:0;background:#744210'>service</body>"
            "</html>");
    });
    const std::string host = server.Url("/").substr(7, server.Url("/").size() - 8);
    m_folder.WriteProgramFile("test.ini",
                              "[CLIENT_PROFILE_SHEET]\nUPDATE_CONFIG_URL=http://"
                              "127.0.0.1:9/\nWEB_HOST=" +
                                  host + "\n");
    // The start page goes on to the service when asked to by the test.
    m_folder.WritePage("main.html",
                       "<html><head><title>TestMain</title></head>"
                       "<body style='width:600px;height:400px;margin:0'>"
                       "<a id='go' href='" +
                           server.Url("/m") +
                           "' style='display:block;width:600px;height:400px'>go</a></body></html>");

    const pid_t pid = StartShown();
    PumpFor(500);
    const Frame start = MainFrame(pid, "TestMain");
    EXPECT_EQ(start.width, 600);
    EXPECT_EQ(start.height, 400);
    // Centred on the screen's work area (1280 x 800 less the panel below).
    EXPECT_NEAR(start.x + start.width / 2, 640, 4);

    RunCommand("xdotool mousemove --sync " + std::to_string(start.x + 300) + " " +
               std::to_string(start.y + 200) + " click 1");
    ASSERT_TRUE(
        PumpUntil([&] { return MainFrame(pid, "TestService").width == 700; }, kClientStartMs))
        << "the service start page did not size the window";
    const Frame service = MainFrame(pid, "TestService");
    EXPECT_EQ(service.height, 480);
    // Kept at its corner, not centred again.
    EXPECT_EQ(service.x, start.x);
    EXPECT_EQ(service.y, start.y);
    TakeScreenshot("client-service-page");
    ExitClient(pid);
    EXPECT_EQ(m_folder.ConfigValue("MAINWNDWIDTH"), "700");
    EXPECT_EQ(m_folder.ConfigValue("MAINWNDHEIGHT"), "480");

    // The remembered size sizes the start page at the next start, centred.
    const pid_t again = StartShown();
    PumpFor(500);
    const Frame next = MainFrame(again, "TestMain");
    EXPECT_EQ(next.width, 700);
    EXPECT_EQ(next.height, 480);
    EXPECT_NEAR(next.x + next.width / 2, 640, 4);
    ExitClient(again);
}

// The work area in device pixels, as the window manager publishes it.
bool DeviceWorkArea(int* left, int* top, int* right, int* bottom) {
    std::string text = RunCommand("xprop -root _NET_WORKAREA");
    const size_t at = text.find('=');
    if (at == std::string::npos) {
        return false;
    }
    for (char& ch : text) {
        ch = ch == ',' ? ' ' : ch;
    }
    std::istringstream values(text.substr(at + 1));
    int width = 0, height = 0;
    values >> *left >> *top >> width >> height;
    *right = *left + width;
    *bottom = *top + height;
    return !values.fail();
}

TEST_F(ClientWindowSize, WindowsArePlacedInTheWorkAreaAtTheDesktopsScale) {
    const char* scaleText = std::getenv("GDK_SCALE");
    const int scale = scaleText != nullptr && std::atoi(scaleText) > 0 ? std::atoi(scaleText) : 1;
    // The start page opens a popup beside the panel and the option window, as pages may.
    m_folder.WritePage("msg.html",
                       "<html><head><title>TestPopup</title></head>"
                       "<body style='margin:0;background:#9b2c2c'>popup</body></html>");
    m_folder.WritePage("main.html",
                       "<html><head><title>TestMain</title></head>"
                       "<body style='width:600px;height:400px;margin:0;background:#2b6cb0'>"
                       "<script>setTimeout(function(){"
                       "external.ShowMessageWnd('res/msg.html?t=12:30#a:1',250,150);"
                       "external.OpenOptionWnd();},300);</script></body></html>");
    const pid_t pid = StartShown();
    int areaLeft = 0, areaTop = 0, areaRight = 0, areaBottom = 0;
    ASSERT_TRUE(DeviceWorkArea(&areaLeft, &areaTop, &areaRight, &areaBottom));
    std::string popup;
    ASSERT_TRUE(PumpUntil(
        [&] {
            popup = VisibleWindowTitled(pid, "TestPopup");
            return !popup.empty() && !VisibleWindowTitled(pid, "TestOptionsSet").empty();
        },
        kClientStartMs))
        << "the popup or the option window did not show";
    PumpFor(1000);  // the popup's slide
    TakeScreenshot("windows-at-scale-" + std::to_string(scale));

    // Page sizes are in the page's units, drawn at the scale; both windows centred.
    const Frame main = MainFrame(pid, "TestMain");
    EXPECT_EQ(main.width, 600 * scale);
    EXPECT_EQ(main.height, 400 * scale);
    const int centreX = (areaLeft + areaRight) / 2;
    const int centreY = (areaTop + areaBottom) / 2;
    const int slack = 12 * scale;  // the frame: caption above, border below
    EXPECT_NEAR(main.x + main.width / 2, centreX, 4 * scale);
    EXPECT_NEAR(main.y + main.height / 2, centreY, slack);
    const Frame options = MainFrame(pid, "TestOptionsSet");
    EXPECT_EQ(options.width, 420 * scale);
    EXPECT_NEAR(options.x + options.width / 2, centreX, 4 * scale);
    EXPECT_NEAR(options.y + options.height / 2, centreY, slack);

    // The popup whole, in the work area's bottom-right corner, 3 units off its edges.
    Frame shown;
    WindowGeometry(popup, &shown.x, &shown.y, &shown.width, &shown.height);
    EXPECT_EQ(shown.width, 250 * scale);
    EXPECT_EQ(shown.height, 150 * scale);
    EXPECT_NEAR(shown.x + shown.width, areaRight - 3 * scale, scale);
    EXPECT_NEAR(shown.y + shown.height, areaBottom - 3 * scale, scale);
    EXPECT_GE(shown.x, areaLeft);
    EXPECT_GE(shown.y, areaTop);
    ExitClient(pid);
}

}  // namespace
