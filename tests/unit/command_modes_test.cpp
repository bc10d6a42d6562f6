// The installer's and uninstaller's modes on a real (temporary) file system, with no client
// running.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/environment.h"
#include "app/main_app.h"
#include "config/client_options.h"
#include "scoped_environment.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

class CommandModes : public ::testing::Test {
protected:
    void SetUp() override {
        // No running client can be found in a runtime folder of the test's own.
        fs::create_directories(m_env.root().path() / "runtime");
        fs::permissions(m_env.root().path() / "runtime", fs::perms::owner_all);
        m_env.Set("XDG_RUNTIME_DIR", (m_env.root().path() / "runtime").string());
        ResetClientOptionsForTest();
    }
    void TearDown() override { ResetClientOptionsForTest(); }

    fs::path CommonVendor() const { return m_env.root().path() / "common/Tavnel"; }
    fs::path CommonData() const { return CommonVendor() / "SongDeck"; }
    fs::path AutoStartEntry() const { return m_env.AutoStart() / "TavNelSongDeck.desktop"; }
    void WriteConfig(const std::string& text) {
        fs::create_directories(m_env.UserData());
        m_env.root().Write("local/Tavnel/SongDeck/config.ini", text);
    }

    ScopedEnvironment m_env;
};

TEST_F(CommandModes, InstallEmptiesTheUpdateFolderMakesTheIdAndTurnsStartAtLoginOnOnce) {
    fs::create_directories(CommonData() / "update");
    m_env.root().Write("common/Tavnel/SongDeck/update/stale.bin", "old stage");
    fs::create_directories(CommonData() / "previous");
    m_env.root().Write("common/Tavnel/SongDeck/previous/list", "a kept version");

    RunInstallMode();

    EXPECT_TRUE(fs::is_directory(CommonData()));
    EXPECT_TRUE(fs::is_empty(CommonData()));
    EXPECT_TRUE(fs::exists(m_env.SharedData() / "guid.dat"));
    EXPECT_TRUE(fs::exists(AutoStartEntry()));
    EXPECT_TRUE(IsAutoRunEnabled());
}

TEST_F(CommandModes, InstallOverAnExistingConfigurationKeepsStartAtLoginAsTheUserLeftIt) {
    WriteConfig("[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=0\n");

    RunInstallMode();

    EXPECT_FALSE(IsAutoRunEnabled());
    EXPECT_FALSE(fs::exists(AutoStartEntry()));
    // The config file is the user's: install neither rewrites nor removes it.
    EXPECT_EQ(m_env.root().Read("local/Tavnel/SongDeck/config.ini"),
              "[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=0\n");
}

TEST_F(CommandModes, InstallWithoutTheVendorFolderCreatesNothingAboveIt) {
    RunInstallMode();
    // One level only: the missing vendor folder makes the creation fail harmlessly.
    EXPECT_FALSE(fs::exists(CommonData()));
    EXPECT_TRUE(fs::exists(m_env.SharedData() / "guid.dat"));
}

TEST_F(CommandModes, UninstallRemovesDataAndStartAtLoginButKeepsTheSharedClientId) {
    RunInstallMode();
    const std::wstring clientId = GetClientId();
    WriteConfig("[TAVNELDESKTOPCLIENT]\nHOTKEY_VK=70\n");
    fs::create_directories(CommonData() / "update");
    m_env.root().Write("common/Tavnel/SongDeck/update/file.bin", "x");
    // The kept and refused versions beside the user's stage go too.
    const fs::path state = GetUpdateStateDir();
    fs::create_directories(state / "previous/files");
    std::ofstream(state / "refused_version") << "10000020000\n";
    ASSERT_TRUE(IsAutoRunEnabled());

    RunUninstallMode();

    EXPECT_FALSE(fs::exists(CommonData()));
    EXPECT_FALSE(fs::exists(CommonVendor()));
    EXPECT_FALSE(fs::exists(m_env.UserData()));
    EXPECT_FALSE(fs::exists(AutoStartEntry()));
    EXPECT_TRUE(fs::exists(m_env.SharedData() / "guid.dat"));
    EXPECT_EQ(GetClientId(), clientId);
}

TEST_F(CommandModes, UninstallLeavesAVendorFolderThatOtherProductsStillUse) {
    fs::create_directories(CommonVendor() / "OtherProduct");
    fs::create_directories(CommonData());

    RunUninstallMode();

    EXPECT_FALSE(fs::exists(CommonData()));
    EXPECT_TRUE(fs::exists(CommonVendor() / "OtherProduct"));
}

#ifndef _WIN32
// Another user may have made the all-users folders, with files and links of theirs.
TEST_F(CommandModes, InstallAndUninstallRemoveOnlyTheStageAndFollowNoLink) {
    TempFolder outside;
    fs::create_directories(outside.path() / "update");
    outside.Write("update/precious.txt", "keep");
    outside.Write("refused_version", "keep");
    fs::create_directories(CommonData() / "update");
    fs::create_directory_symlink(outside.path() / "update", CommonData() / "update" / "link");
    m_env.root().Write("common/Tavnel/SongDeck/notes.txt", "not ours");
    RunInstallMode();
    EXPECT_FALSE(fs::exists(CommonData() / "update"));
    EXPECT_EQ(m_env.root().Read("common/Tavnel/SongDeck/notes.txt"), "not ours");
    EXPECT_EQ(outside.Read("update/precious.txt"), "keep");

    fs::remove_all(CommonData());
    fs::create_directory_symlink(outside.path(), CommonData());
    RunUninstallMode();
    EXPECT_EQ(outside.Read("update/precious.txt"), "keep");
    EXPECT_EQ(outside.Read("refused_version"), "keep");
}
#endif

TEST_F(CommandModes, ExitWithNoClientRunningReturnsAtOnceAndTouchesNothing) {
    WriteConfig("[TAVNELDESKTOPCLIENT]\nHOTKEY_VK=70\n");
    RunExitMode();
    EXPECT_EQ(m_env.root().Read("local/Tavnel/SongDeck/config.ini"),
              "[TAVNELDESKTOPCLIENT]\nHOTKEY_VK=70\n");
}

}  // namespace
