#include <gtest/gtest.h>

#include <cwctype>
#include <filesystem>
#include <string>

#include "app/environment.h"
#include "app/helpers.h"
#include "config/client_options.h"
#include "platform/text_encoding.h"
#include "scoped_environment.h"

namespace fs = std::filesystem;

namespace {

class AutoRun : public ::testing::Test {
protected:
    void WriteEntry(const std::wstring& exec, const std::string& extra = "") {
        fs::create_directories(m_env.AutoStart());
        m_env.root().Write(
            "config/autostart/TavNelSongDeck.desktop",
            "[Desktop Entry]\nType=Application\nExec=" + WideToUtf8(exec) + "\n" + extra);
    }
    fs::path EntryFile() const { return m_env.AutoStart() / "TavNelSongDeck.desktop"; }

    ScopedEnvironment m_env;
};

TEST_F(AutoRun, SetWritesAnAutostartEntryThatReadsAsOn) {
    EXPECT_EQ(GetAutoRunCommand(), L"\"" + GetModuleDirectory(nullptr) + L"SongDeck\" -hide");
    EXPECT_FALSE(IsAutoRunEnabled());
    ASSERT_TRUE(SetAutoRun(TRUE));
    std::string entry = m_env.root().Read("config/autostart/TavNelSongDeck.desktop");
    EXPECT_NE(entry.find("[Desktop Entry]\n"), std::string::npos);
    EXPECT_NE(entry.find("\nExec=" + WideToUtf8(GetAutoRunCommand()) + "\n"), std::string::npos);
    EXPECT_TRUE(IsAutoRunEnabled());

    ASSERT_TRUE(SetAutoRun(FALSE));
    EXPECT_FALSE(fs::exists(EntryFile()));
    EXPECT_FALSE(IsAutoRunEnabled());
}

TEST_F(AutoRun, TurningOffAMissingEntryAnswersFalse) {
    EXPECT_FALSE(SetAutoRun(FALSE));
    EXPECT_FALSE(fs::exists(m_env.AutoStart()));
}

TEST_F(AutoRun, ComparisonIgnoresCaseButNotThePath) {
    std::wstring command = GetAutoRunCommand();
    std::wstring upper = command;
    for (wchar_t& ch : upper) {
        ch = static_cast<wchar_t>(std::towupper(ch));
    }
    ASSERT_NE(upper, command);
    WriteEntry(upper);
    EXPECT_TRUE(IsAutoRunEnabled());

    WriteEntry(L"\"/opt/elsewhere/SongDeck\" -hide");
    EXPECT_FALSE(IsAutoRunEnabled());
}

TEST_F(AutoRun, AValueLongerThan259CharactersNeverMatches) {
    // The command followed by blanks up to 260 characters: the start matches, the read does not
    // fit.
    std::wstring command = GetAutoRunCommand();
    ASSERT_LT(command.size(), 260u);
    WriteEntry(command + std::wstring(260 - command.size(), L' '));
    EXPECT_FALSE(IsAutoRunEnabled());
}

TEST_F(AutoRun, AHiddenEntryCountsAsOff) {
    WriteEntry(GetAutoRunCommand(), "Hidden=true\n");
    EXPECT_FALSE(IsAutoRunEnabled());
}

}  // namespace
