// Silent update checks on a real update thread: the client updater stages the update, tells
// the main window and swaps the launcher, against a real HTTP server on 127.0.0.1.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "app/environment.h"
#include "app/helpers.h"
#include "app/update_channel.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/text_encoding.h"
#include "support/manifest_signer.h"
#include "support/test_http_server.h"
#include "unit/temp_folder.h"
#include "update/previous_version.h"
#include "update/update_messages.h"
#include "update_client_setting.h"
#include "update_test_support.h"
#include "update_thread_starter.h"

namespace {

using namespace updatetest;
using testsupport::ServeSignedManifest;
namespace fs = std::filesystem;

constexpr DWORD kRunDeadlineMs = 30000;

class ClientUpdate : public ::testing::Test, public UpdateClientSetting {
protected:
    ClientUpdate() : UpdateClientSetting("/desktop/update.xml") {}
    void SetUp() override { ASSERT_TRUE(mainWindowCreated); }

    // Runs a silent check and waits for the thread to end by itself.
    void RunSilentCheck() {
        CUpdateThread* thread = StartUpdateThread(FALSE);
        ASSERT_NE(thread, nullptr);
        const bool ended = WaitForSingleObject(thread->m_hThread, kRunDeadlineMs) == WAIT_OBJECT_0;
        EXPECT_TRUE(ended) << "the update thread did not end by itself";
        EXPECT_TRUE(StopUpdateThread(thread)) << "the update thread did not stop";
    }
};

TEST_F(ClientUpdate, ASilentRunStagesTheUpdateAndTellsTheMainWindow) {
    const std::string library = "library bytes";
    const std::string manifest = BuildManifest(
        running + 2, {{running + 2, {"\xE6\x9B\xB4\xE6\x96\xB0 two"}}, {running + 1, {"one"}}},
        {{"files/lib.so", Md5Of(library), running + 2}});
    ServeSignedManifest(server, "/desktop/update.xml", manifest);
    server.ServeFile("/desktop/files/lib.so", library);
    // An update.xml of an earlier run must not stay beside the new files.
    fs::create_directories(updateDir);
    std::ofstream(updateDir / "update.xml", std::ios::binary)
        << "<updater><version>1</version></updater>";

    RunSilentCheck();

    EXPECT_EQ(ReadUpdateFile("lib.so"), library);
    EXPECT_EQ(ReadUpdateFile("update.xml"), manifest);
    EXPECT_EQ(ReadUpdateFile("update.txt"), EncodeText936(L"\u66F4\u65B0 two\r\n\r\none\r\n\r\n"));
    const auto requests = server.RequestsFor("/desktop/update.xml");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/desktop/update.xml?id=" + WideToUtf8(GetClientId()) +
                                      "&ver=" + std::to_string(running));
    EXPECT_TRUE(platform::PumpMessagesUntil([&] { return !mainWindow.ready.empty(); }, 5000))
        << "WM_UPDATE_READY never reached the main window";
    EXPECT_EQ(mainWindow.ready, std::vector<WPARAM>{0});
}

TEST_F(ClientUpdate, AStageThatCannotTakeTheSignatureHoldsNoManifestAndNoCheckFiles) {
    const std::string manifest =
        BuildManifest(running + 1, {}, {{"files/lib.so", Md5Of("lib"), running + 1}});
    ServeSignedManifest(server, "/desktop/update.xml", manifest);
    server.ServeFile("/desktop/files/lib.so", "lib");
    fs::create_directories(updateDir / "update.xml.sig" / "in the way");

    RunSilentCheck();

    EXPECT_FALSE(fs::exists(updateDir / "update.xml"));
    EXPECT_FALSE(fs::exists(updateDir / "update.check.xml"));
    EXPECT_FALSE(fs::exists(updateDir / "update.check.xml.sig"));
    platform::PumpMessagesUntil([] { return false; }, 200);
    EXPECT_TRUE(mainWindow.ready.empty());
}

TEST_F(ClientUpdate, ASilentRunWithoutANewerVersionEndsQuietly) {
    ServeSignedManifest(server, "/desktop/update.xml", BuildManifest(running, {}, {}));

    RunSilentCheck();

    EXPECT_EQ(server.RequestsFor("/desktop/update.xml").size(), 1u);
    EXPECT_FALSE(fs::exists(updateDir / "update.xml"));
    EXPECT_FALSE(fs::exists(updateDir / "update.txt"));
    platform::PumpMessagesUntil([] { return false; }, 200);
    EXPECT_TRUE(mainWindow.ready.empty());
}

// A version the launcher took back after it failed to start is not fetched again; a newer one
// is, as usual.
TEST_F(ClientUpdate, AVersionThatFailedToStartIsNotFetchedAgainButANewerOneIs) {
    RecordRefusedVersion(running + 2);
    const std::string library = "library bytes";
    for (const LONGLONG version : {running + 2, running + 3}) {
        ServeSignedManifest(
            server, "/desktop/update.xml",
            BuildManifest(version, {}, {{"files/lib.so", Md5Of(library), version}}));
        server.ServeFile("/desktop/files/lib.so", library);
        RunSilentCheck();
    }
    EXPECT_EQ(server.RequestsFor("/desktop/update.xml").size(), 2u);
    EXPECT_EQ(server.RequestsFor("/desktop/files/lib.so").size(), 1u);
    EXPECT_NE(ReadUpdateFile("update.xml").find(std::to_string(running + 3)), std::string::npos);
}

TEST_F(ClientUpdate, ADeliveredLauncherReplacesTheLauncherWhenTheThreadEnds) {
    ServeSignedManifest(server, "/desktop/update.xml", BuildManifest(running, {}, {}));
    const std::string suffix = WideToUtf8(kExecutableSuffix);
    FileBesideExecutable launcher("RunSongDeck" + suffix, "old launcher");
    {
        FileBesideExecutable delivered("RunSongDeck2" + suffix, "new launcher");
        RunSilentCheck();
        EXPECT_FALSE(fs::exists(delivered.path()));
    }
    std::ifstream swapped(launcher.path(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(swapped), {}), "new launcher");

    // Without a delivered one the launcher stays as it is.
    RunSilentCheck();
    std::ifstream kept(launcher.path(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "new launcher");
}

TEST_F(ClientUpdate, APackageManagedInstallationDownloadsNothingItCouldNotApply) {
    server.ServeFile("/desktop/update.xml",
                     BuildManifest(running + 1, {}, {{"files/lib.so", Md5Of("x"), 0}}));
    server.ServeFile("/desktop/files/lib.so", "x");
    {
        FileBesideExecutable marker("package-managed", "");
        EXPECT_FALSE(IsSelfUpdateAllowed());
        EXPECT_NE(GetUpdateChannelText().find(L"package manager"), std::wstring::npos);
        RunSilentCheck();
        EXPECT_TRUE(server.Requests().empty());
        EXPECT_FALSE(fs::exists(updateDir / "lib.so"));
    }
    EXPECT_TRUE(IsSelfUpdateAllowed());
    EXPECT_NE(GetUpdateChannelText().find(L"updates itself"), std::wstring::npos);
    RunSilentCheck();
    EXPECT_EQ(server.RequestsFor("/desktop/update.xml").size(), 1u);
}

TEST_F(ClientUpdate, AStartWithoutTheStartFlagChecksNothingUntilStopped) {
    ServeSignedManifest(server, "/desktop/update.xml", BuildManifest(running + 1, {}, {}));
    CUpdateThread* thread = StartUpdateThread(FALSE, 0);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 300), WAIT_TIMEOUT);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_TRUE(StopUpdateThread(thread));
}

TEST_F(ClientUpdate, StoppingTheThreadDuringADownloadEndsItInTimeAndKeepsThePartForLater) {
    auto body = std::make_shared<const std::string>(100000, 'z');
    ServeSignedManifest(server, "/desktop/update.xml",
                        BuildManifest(running + 1, {}, {{"files/big.bin", Md5Of(*body), 0}}));
    server.On("/desktop/files/big.bin", StalledFile(body, 5000, 60000));
    CUpdateThread* thread = StartUpdateThread(FALSE);
    ASSERT_NE(thread, nullptr);
    const fs::path part = updateDir / "big.bin.part";
    for (int i = 0; i < 200 && !(fs::exists(part) && fs::file_size(part) > 0); ++i) {
        Sleep(50);
    }
    ASSERT_TRUE(fs::exists(part)) << "the download never started";

    const DWORD before = GetTickCount();
    EXPECT_TRUE(StopUpdateThread(thread));
    EXPECT_LT(GetTickCount() - before, 3000u);
    EXPECT_TRUE(fs::exists(part));
}

}  // namespace
