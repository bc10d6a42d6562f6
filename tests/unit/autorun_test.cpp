#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "app/environment.h"
#include "app/helpers.h"
#include "config/client_options.h"
#include "platform/autostart.h"
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
    // The command with an argument that takes it to 260 characters: the read does not fit.
    std::wstring command = GetAutoRunCommand();
    ASSERT_LT(command.size(), 259u);
    WriteEntry(command + L" " + std::wstring(259 - command.size(), L'x'));
    wchar_t buffer[260];
    EXPECT_FALSE(ReadAutoStartEntry(L"TavNelSongDeck", buffer, 260));
    EXPECT_TRUE(ReadAutoStartEntry(L"TavNelSongDeck", buffer, 261));
    EXPECT_FALSE(IsAutoRunEnabled());
}

TEST_F(AutoRun, AHiddenOrDisabledEntryCountsAsOff) {
    WriteEntry(GetAutoRunCommand(), "Hidden=true\n");
    EXPECT_FALSE(IsAutoRunEnabled());
    WriteEntry(GetAutoRunCommand(), "X-GNOME-Autostart-enabled=false\n");
    EXPECT_FALSE(IsAutoRunEnabled());
    WriteEntry(GetAutoRunCommand(), "X-GNOME-Autostart-enabled = false\n");
    EXPECT_FALSE(IsAutoRunEnabled());
    WriteEntry(GetAutoRunCommand(), "X-GNOME-Autostart-enabled=true\nHidden=false\n");
    EXPECT_TRUE(IsAutoRunEnabled());
}

TEST_F(AutoRun, AnExecLineThatWouldNotStartTheProgramCountsAsOff) {
    std::wstring command = GetAutoRunCommand();
    WriteEntry(command.substr(0, command.size() - 7));  // the closing quote is missing
    EXPECT_FALSE(IsAutoRunEnabled());
}

// A program folder with every character the desktop-entry rules reserve: the entry is one the
// desktop's own library accepts and runs, with the program and its argument intact, and it
// reads back as the command that was written.
TEST_F(AutoRun, AProgramFolderWithReservedCharactersStartsFromTheEntry) {
    fs::path folder = m_env.root().path() / "a \"b\" c$HOME\\x %f 'q' `d` ;&|*?#()<>~=";
    fs::create_directories(folder);
    fs::path output = m_env.root().path() / "started.txt";
    {
        std::ofstream script(folder / "SongDeck");
        script << "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" << output.string() << ".part'\n"
               << "mv '" << output.string() << ".part' '" << output.string() << "'\n";
    }
    fs::permissions(folder / "SongDeck", fs::perms::owner_all);
    std::wstring command = L"\"" + Utf8ToWide((folder / "SongDeck").string()) + L"\" -hide";
    ASSERT_TRUE(WriteAutoStartEntry(L"Reserved", command.c_str()));
    wchar_t buffer[1024];
    ASSERT_TRUE(ReadAutoStartEntry(L"Reserved", buffer, 1024));
    EXPECT_EQ(std::wstring(buffer), command);

    std::string launch = "gio launch '" + (m_env.AutoStart() / "Reserved.desktop").string() + "'";
    ASSERT_EQ(std::system(launch.c_str()), 0)
        << "the desktop refused the entry:\n"
        << m_env.root().Read("config/autostart/Reserved.desktop");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!fs::exists(output) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    std::ifstream started(output);
    std::string text((std::istreambuf_iterator<char>(started)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, (folder / "SongDeck").string() + "\n-hide\n");
}

}  // namespace
