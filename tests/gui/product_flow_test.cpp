// The whole product on the test desktop: the client on the demo service's pages finds the newer
// version the release tool made, stages it silently, offers the restart in its popup, and the
// launcher puts the new version in place, which the service page then reports.
#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "client_fixture.h"
#include "client_under_test.h"
#include "gui_support.h"
#include "platform/module.h"
#include "platform/text_encoding.h"
#include "support/test_http_server.h"

namespace {

namespace fs = std::filesystem;
using testsupport::HttpTestReply;
using testsupport::HttpTestRequest;

constexpr int kUpdateStagedMs = 60000;

std::string ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::string StampedVersion(const fs::path& executable) {
    std::wstring version;
    return ReadModuleVersionStamp(executable.wstring(), version) ? WideToUtf8(version) : "";
}

// The processes running the program folder's client (one whose file was replaced included).
std::vector<pid_t> ClientProcesses(const fs::path& client) {
    std::vector<pid_t> pids;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc")) {
        std::error_code error;
        const fs::path exe = fs::read_symlink(entry.path() / "exe", error);
        if (!error && exe.string().rfind(client.string(), 0) == 0) {
            pids.push_back(std::stoi(entry.path().filename().string()));
        }
    }
    return pids;
}

// The demo service's folder, served by the test's own server at the same paths.
void ServeFolder(testsupport::TestHttpServer& server, const fs::path& root) {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        std::string path = "/" + fs::relative(entry.path(), root).generic_string();
        if (entry.path().extension() == ".html") {
            path.resize(path.size() - 5);
        }
        auto content = std::make_shared<const std::string>(ReadFile(entry.path()));
        const std::string type = entry.path().extension() == ".html" ? "text/html; charset=utf-8"
                                                                     : "application/octet-stream";
        server.On(path, [content, type](const HttpTestRequest& request) {
            HttpTestReply reply = HttpTestReply::File(request, content);
            reply.headers.emplace_back("Content-Type", type);
            return reply;
        });
    }
}

class ProductFlow : public ::testing::Test {
protected:
    // How often the service page said hello from the given version.
    size_t HellosFrom(const std::string& version) const {
        size_t count = 0;
        for (const HttpTestRequest& request : m_server.RequestsFor("/hello")) {
            count += request.target.find("version=" + version + "&") != std::string::npos;
        }
        return count;
    }

    void RestartIntoTheDemoRelease(bool broken);
    void ExitTheClient() {
        const fs::path program = m_folder.ProgramDir();
        const pid_t exit = m_folder.Start({"exit"});
        EXPECT_TRUE(m_folder.WaitForExit(exit, kClientEndMs));
        EXPECT_TRUE(
            PumpUntil([&] { return ClientProcesses(program / "SongDeck").empty(); }, kClientEndMs))
            << "the new client did not end";
        // Not our child: a client that outlived its deadline goes by its id.
        for (const pid_t pid : ClientProcesses(program / "SongDeck")) {
            kill(pid, SIGKILL);
        }
    }

    CClientFolder m_folder;
    testsupport::TestHttpServer m_server;
    std::string m_running;
    std::string m_newer;
};

// Serves the demo release (one whose client cannot start, when broken), starts the client and
// restarts it from the update popup once its silent check staged the release; m_running and
// m_newer are the versions.
void ProductFlow::RestartIntoTheDemoRelease(bool broken) {
    const fs::path build = fs::path(SONGDECK_CLIENT_PATH).parent_path();
    const fs::path program = m_folder.ProgramDir();
    fs::copy_file(SONGDECK_LAUNCHER_PATH, program / "RunSongDeck");
    fs::copy(build / "res", program / "res",
             fs::copy_options::recursive | fs::copy_options::overwrite_existing);

    const fs::path service = m_folder.Root() / "service";
    bool made = false;
    const std::string tool = RunCommand(
        std::string(SONGDECK_SOURCE_DIR) + "/tools/make-demo-update " +
            (broken ? "--broken '" : "'") + build.string() + "' '" + service.string() + "' 2>&1",
        &made, 60000);
    ASSERT_TRUE(made) << tool;
    const std::string running = m_running = StampedVersion(program / "SongDeck");
    const std::string newer = m_newer = StampedVersion(service / "update" / "files" / "SongDeck");
    ASSERT_FALSE(running.empty());
    // The broken release's client is a script with no version stamped into it.
    ASSERT_TRUE(broken || !newer.empty());
    ASSERT_NE(running, newer);

    ServeFolder(m_server, service);
    m_server.On("/hello", [](const HttpTestRequest&) { return HttpTestReply::Text(200, ""); });
    const std::string host = "127.0.0.1:" + std::to_string(m_server.Port());
    m_folder.WriteProgramFile("test.ini", "[CLIENT_PROFILE_SHEET]\nUPDATE_CONFIG_URL=http://" +
                                              host + "/update/update.xml\nWEB_HOST=" + host +
                                              "\nDESKTOP_HOST=" + host + "\n");

    const pid_t first = m_folder.Start({"-test"});
    ASSERT_GT(first, 0);
    ASSERT_TRUE(PumpUntil([&] { return HellosFrom(running) > 0; }, kClientStartMs))
        << "the service page never reported the running version";

    std::string popup;
    ASSERT_TRUE(
        PumpUntil([&] { return !(popup = VisibleWindowTitled(first, "Quorvi 更新")).empty(); },
                  kUpdateStagedMs))
        << "no update popup";
    EXPECT_TRUE(fs::exists(m_folder.CommonDataDir() / "update" / "update.xml.sig"));
    PumpFor(1500);  // the popup slides in
    TakeScreenshot("product-update-popup");
    int x = 0, y = 0, width = 0, height = 0;
    ASSERT_TRUE(WindowGeometry(popup, &x, &y, &width, &height));
    // The popup's restart button (立即重启) sits in its bottom-right corner.
    RunCommand("xdotool mousemove " + std::to_string(x + width - 50) + " " +
               std::to_string(y + height - 26) + " click 1");

    ASSERT_TRUE(m_folder.WaitForExit(first, kClientEndMs)) << "RestartApp did not end the client";
}

TEST_F(ProductFlow, TheSilentCheckStagesTheNewVersionAndTheRestartRunsIt) {
    ASSERT_NO_FATAL_FAILURE(RestartIntoTheDemoRelease(false));
    const fs::path program = m_folder.ProgramDir();
    const std::string newer = m_newer;
    ASSERT_TRUE(PumpUntil([&] { return HellosFrom(newer) > 0; }, kClientStartMs))
        << "the restarted client did not report the new version";
    EXPECT_EQ(StampedVersion(program / "SongDeck"), newer);
    // The stage went whole (the new client's own check keeps the manifest it fetched since,
    // under the name of its address).
    for (const char* staged : {"update.xml", "update.xml.sig", "update.txt", "SongDeck"}) {
        EXPECT_FALSE(fs::exists(m_folder.CommonDataDir() / "update" / staged)) << staged;
    }
    TakeScreenshot("product-after-update");

    ExitTheClient();
}

// A release whose client exits at once: the launcher puts the running version back and starts
// it, which says so once in a balloon; the version is refused.
TEST_F(ProductFlow, ABrokenReleaseIsRolledBackAndThePreviousClientSaysSoOnce) {
    CNotificationRecorder notifications;
    ASSERT_NO_FATAL_FAILURE(RestartIntoTheDemoRelease(true));
    ASSERT_TRUE(PumpUntil([&] { return HellosFrom(m_running) > 1; }, kClientStartMs))
        << "the previous client did not come back";
    EXPECT_EQ(StampedVersion(m_folder.ProgramDir() / "SongDeck"), m_running);
    EXPECT_TRUE(PumpUntil([&] { return notifications.Count() == 1; }, kClientStartMs));
    EXPECT_NE(notifications.Text().find("已恢复为之前的版本"), std::string::npos);
    EXPECT_FALSE(ReadFile(m_folder.CommonDataDir() / "refused_version").empty());
    EXPECT_FALSE(fs::exists(m_folder.CommonDataDir() / "previous"));
    TakeScreenshot("product-broken-release-rolled-back");
    ExitTheClient();
    // The notice was taken: the next start says nothing.
    const size_t hellos = HellosFrom(m_running);
    ASSERT_GT(m_folder.Start({"-test"}), 0);
    ASSERT_TRUE(PumpUntil([&] { return HellosFrom(m_running) > hellos; }, kClientStartMs));
    PumpFor(1500);
    EXPECT_EQ(notifications.Count(), 1) << "the notice came again";
    ExitTheClient();
}

}  // namespace
