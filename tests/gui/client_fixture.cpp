#include "client_fixture.h"

#include "gui_support.h"

const char kTestMainPage[] =
    "<!DOCTYPE html><html><head><meta charset='utf-8'><title>TestMain</title></head>"
    "<body style='width:600px;height:400px;margin:0;background:#2b6cb0;color:white'>"
    "<h1>Test main page</h1></body></html>";

const char kTestOptionPage[] =
    "<!DOCTYPE html><html><head><meta charset='utf-8'><title>TestOptions</title></head>"
    "<body style='width:420px;height:300px;margin:0;background:#276749;color:white'>"
    "<h1>Test options</h1><script>"
    "window.external.SetOptionData(70, 'HOTKEY_VK');"
    "window.external.SetOptionData(6, 'HOTKEY_MODIFIERS');"
    "document.title = 'TestOptionsSet';"
    "</script></body></html>";

void ClientTest::SetUp() {
    m_folder.WritePage("main.html", kTestMainPage);
    m_folder.WritePage("Option.html", kTestOptionPage);
    m_folder.WritePage("about.html",
                       "<html><head><title>TestAbout</title></head>"
                       "<body style='width:320px;height:180px'>about</body></html>");
    m_folder.WriteConfig(kQuietConfig);
    m_folder.WriteProgramFile("test.ini",
                              "[CLIENT_PROFILE_SHEET]\nUPDATE_CONFIG_URL=http://127.0.0.1:9/\n");
}

pid_t ClientTest::StartShown(const std::vector<std::string>& arguments) {
    const pid_t pid = m_folder.Start(arguments);
    EXPECT_GT(pid, 0);
    EXPECT_TRUE(PumpUntil([&] { return MainVisible(pid); }, kClientStartMs))
        << "the main window did not show its page";
    return pid;
}

bool ClientTest::MainVisible(pid_t pid) {
    return !VisibleWindowTitled(pid, "TestMain").empty();
}

void ClientTest::CloseWindowTitled(pid_t pid, const std::string& title) {
    // Alt+F4 reaches the window manager's binding only once the window has the focus; a busy
    // desktop may not have given it yet, so the user's gesture is repeated while it is shown.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const std::string window = VisibleWindowTitled(pid, title);
        if (window.empty()) {
            return;
        }
        RunCommand("xdotool windowactivate --sync " + window, nullptr, 5000);
        RunCommand("xdotool key --clearmodifiers alt+F4");
        if (PumpUntil([&] { return VisibleWindowTitled(pid, title).empty(); }, 5000)) {
            return;
        }
    }
    ADD_FAILURE() << title << " stayed shown after three closes";
}

void ClientTest::HideMain(pid_t pid) {
    CloseWindowTitled(pid, "TestMain");
    ASSERT_FALSE(MainVisible(pid)) << "close did not hide the main window";
}

void ClientTest::ExitClient(pid_t pid) {
    const pid_t exiter = m_folder.Start({"exit"});
    EXPECT_TRUE(m_folder.WaitForExit(exiter, kClientEndMs)) << "the exit mode did not end";
    EXPECT_TRUE(m_folder.WaitForExit(pid, kClientEndMs)) << "the client did not end";
}

int ClientTest::LogCount(const std::string& text) {
    const std::string log = m_folder.ReadLog();
    int count = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) {
        ++count;
    }
    return count;
}
