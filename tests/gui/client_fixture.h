// A test of the real client: a program folder with the test's own pages (a main page that
// declares 600 x 400, an option page that changes the hotkey to Ctrl+Alt+F when it loads),
// no update check and no address outside this machine, and the user's ways of driving it.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "client_under_test.h"

constexpr int kClientStartMs = 30000;
constexpr int kClientEndMs = 20000;
constexpr char kQuietConfig[] = "[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=0\n";

extern const char kTestMainPage[];
extern const char kTestOptionPage[];

class ClientTest : public ::testing::Test {
protected:
    void SetUp() override;

    // Starts a client and waits for its main window to show the test's main page.
    pid_t StartShown(const std::vector<std::string>& arguments = {"-test"});
    bool MainVisible(pid_t pid);
    // Closes a shown window as the user does, through the window manager (Alt+F4).
    void CloseWindowTitled(pid_t pid, const std::string& title);
    void HideMain(pid_t pid);
    // Runs the "exit" mode and waits for it and for the client to end.
    void ExitClient(pid_t pid);
    // How often the client's log holds the text.
    int LogCount(const std::string& text);

    CClientFolder m_folder;
};
