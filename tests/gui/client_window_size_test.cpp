// The main window's size: the start page's declared size centred, the service start page's
// declared size kept at the window's corner and remembered for the next start.
#include <gtest/gtest.h>

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

}  // namespace
