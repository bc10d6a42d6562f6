#include "browser/page_trust.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/helpers.h"
#include "build_config.h"
#include "integration/beside_executable.h"
#include "platform/text_encoding.h"

namespace fs = std::filesystem;

namespace {

class PageTrust : public ::testing::Test {
protected:
    updatetest::ExecutableFolderLock m_lock;
    const std::wstring m_webHost = Utf8ToWide(SONGDECK_WEB_HOST);
    const std::wstring m_desktopHost = Utf8ToWide(SONGDECK_DESKTOP_HOST);
};

}  // namespace

TEST_F(PageTrust, TheLocalPagesAndTheBuiltInServiceHostsOverHttpAndHttps) {
    ASSERT_FALSE(fs::exists(updatetest::ExecutableFolder() / "test.ini"));
    platform::CTrustedPages trusted = GetTrustedPages();
    EXPECT_TRUE(trusted.IsTrusted(GetModuleDirectory(nullptr) + L"res/main.html"));
    EXPECT_FALSE(trusted.IsTrusted(GetModuleDirectory(nullptr) + L"other.html"));
    EXPECT_TRUE(trusted.IsTrusted(L"http://" + m_webHost + L"/m"));
    EXPECT_TRUE(trusted.IsTrusted(L"https://" + m_webHost + L"/m"));
    EXPECT_TRUE(trusted.IsTrusted(L"http://" + m_desktopHost + L"/desktop/"));
    EXPECT_FALSE(trusted.IsTrusted(L"http://127.0.0.1/"));
    EXPECT_FALSE(IsServiceHttpsOnly());
}

TEST_F(PageTrust, TestIniNamesOtherHostsAndMayAskForHttpsOnly) {
    updatetest::FileBesideExecutable testIni(
        "test.ini", "[CLIENT_PROFILE_SHEET]\nWEB_HOST=127.0.0.1:8080\nHTTPS_ONLY=1\n");
    EXPECT_EQ(GetServiceWebHost(), L"127.0.0.1:8080");
    EXPECT_EQ(GetServiceDesktopHost(), m_desktopHost);  // not named: the built-in one
    platform::CTrustedPages trusted = GetTrustedPages();
    EXPECT_TRUE(trusted.IsTrusted(L"https://127.0.0.1:8080/m"));
    EXPECT_FALSE(trusted.IsTrusted(L"http://127.0.0.1:8080/m"));
    EXPECT_FALSE(trusted.IsTrusted(L"https://" + m_webHost + L"/m"));
    EXPECT_TRUE(trusted.IsTrusted(L"https://" + m_desktopHost + L"/"));
    // Local pages do not travel over the network and stay trusted.
    EXPECT_TRUE(trusted.IsTrusted(GetModuleDirectory(nullptr) + L"res/main.html"));
}
