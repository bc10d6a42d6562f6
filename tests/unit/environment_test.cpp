#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <cstdio>
#include <string>

#include "app/environment.h"
#include "app/helpers.h"
#include "build_config.h"
#include "platform/files.h"
#include "platform/text_encoding.h"
#include "scoped_environment.h"

namespace fs = std::filesystem;

namespace {

TEST(Environment, FoldersFollowTheOverridesAndOnlyPerUserOnesAreCreated) {
    ScopedEnvironment env;
    const fs::path root = env.root().path();
    EXPECT_EQ(GetUserDataDir(), (root / "local/Tavnel/SongDeck/").make_preferred().wstring());
    EXPECT_EQ(GetSharedDataDir(), (root / "local/Tavnel/common/").make_preferred().wstring());
    EXPECT_TRUE(fs::is_directory(env.UserData()));
    EXPECT_TRUE(fs::is_directory(env.SharedData()));

    EXPECT_EQ(GetCommonVendorDir(), (root / "common/Tavnel/").make_preferred().wstring());
    EXPECT_EQ(GetCommonDataDir(), (root / "common/Tavnel/SongDeck/").make_preferred().wstring());
    // The update stage is the user's own: Windows' all-users folder is every user's.
#ifdef _WIN32
    EXPECT_EQ(GetUpdateDir(), GetUserDataDir() + L"update\\");
#else
    EXPECT_EQ(GetUpdateDir(), GetCommonDataDir() + L"update/");
#endif
    EXPECT_FALSE(fs::exists(root / "common"));
}

TEST(Environment, PerUserDataFallsBackToXdgDataHome) {
    ScopedEnvironment env;
    ScopedEnvironment::SetVariable("SONGDECK_LOCAL_APPDATA", nullptr);
    env.Set("XDG_DATA_HOME", (env.root().path() / "xdg").string() + "/");
    EXPECT_EQ(GetUserDataDir(), (env.root().path() / "xdg/Tavnel/SongDeck/").wstring());
    ScopedEnvironment::SetVariable("XDG_DATA_HOME", nullptr);
    env.Set("HOME", (env.root().path() / "home").string());
    EXPECT_EQ(GetUserDataDir(),
              (env.root().path() / "home/.local/share/Tavnel/SongDeck/").wstring());
}

TEST(Environment, AllUsersDataIsAFolderOfTheUserWhoRunsTheClient) {
    ScopedEnvironment env;
    ScopedEnvironment::SetVariable("SONGDECK_COMMON_APPDATA", nullptr);
    env.Set("XDG_STATE_HOME", (env.root().path() / "state").string());
    EXPECT_EQ(GetCommonDataDir(), (env.root().path() / "state/Tavnel/SongDeck/").wstring());
    ScopedEnvironment::SetVariable("XDG_STATE_HOME", nullptr);
    env.Set("HOME", (env.root().path() / "home").string());
    EXPECT_EQ(GetCommonVendorDir(), (env.root().path() / "home/.local/state/Tavnel/").wstring());
    // The update folder can be made there.
    EXPECT_TRUE(CreateDirectoryPath((GetCommonDataDir() + L"update/").c_str()));
    EXPECT_TRUE(fs::is_directory(env.root().path() / "home/.local/state/Tavnel/SongDeck/update"));
}

TEST(Environment, VersionNumbersOfPartialAndFullVersions) {
    EXPECT_EQ(VersionNumberFromText(L"1.0.0.3"), 10000000003LL);
    EXPECT_EQ(VersionNumberFromText(L"2.1"), 20100000000LL);
    EXPECT_EQ(VersionNumberFromText(L"1.2.3.4"), 10200030004LL);
    EXPECT_EQ(VersionNumberFromText(L""), 0);
    EXPECT_EQ(VersionNumberFromText(L"x.1"), 0);
}

TEST(Environment, UserAgentNamesTheProductAndThePlatformVersion) {
    std::string agent = WideToUtf8(GetUserAgent());
    unsigned major = 0, minor = 0, build = 0;
    char end = 0;
#ifdef _WIN32
    const char* format = "Vexla SongDeck (Windows %u.%u.%u%c";
#else
    const char* format = "Vexla SongDeck (Linux %u.%u.%u%c";
#endif
    EXPECT_EQ(std::sscanf(agent.c_str(), format, &major, &minor, &build, &end), 4) << agent;
    EXPECT_EQ(end, ')');
    EXPECT_GT(major, 0u);
    EXPECT_EQ(GetUserAgent(), GetUserAgent());
}

class ManifestUrl : public ::testing::Test {
protected:
    // test.ini lives beside the executable; the test removes what it put there.
    void TearDown() override {
        std::error_code error;
        if (m_written) {
            fs::remove(m_testIni, error);
        }
    }
    void WriteTestIni(const std::string& text) {
        ASSERT_FALSE(fs::exists(m_testIni)) << "a test.ini is already beside the test program";
        std::ofstream(m_testIni, std::ios::binary) << text;
        m_written = true;
    }
    fs::path m_testIni = PathFromWide(GetModuleDirectory(nullptr) + L"test.ini");
    bool m_written = false;
};

TEST_F(ManifestUrl, DefaultsToTheDesktopHost) {
    ASSERT_FALSE(fs::exists(m_testIni));
    EXPECT_EQ(GetUpdateManifestUrl(), Utf8ToWide(std::string("http://") + SONGDECK_DESKTOP_HOST +
                                                 "/desktop/app/update/update.xml"));
}

TEST_F(ManifestUrl, TestIniReplacesItEvenWithNothing) {
    WriteTestIni("[CLIENT_PROFILE_SHEET]\nUPDATE_CONFIG_URL=http://127.0.0.1:8080/u.xml\n");
    EXPECT_EQ(GetUpdateManifestUrl(), L"http://127.0.0.1:8080/u.xml");
    fs::remove(m_testIni);
    WriteTestIni("[CLIENT_PROFILE_SHEET]\nOTHER=1\n");
    EXPECT_EQ(GetUpdateManifestUrl(), L"");
}

}  // namespace
