// Starting programs and opening addresses: real processes, and a stand-in browser that the
// desktop's own association (mimeapps.list) picks.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/module.h"
#include "platform/shell_execute.h"
#include "stand_in_browser.h"
#include "temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

void WriteScript(const TempFolder& folder, const std::string& name, const std::string& body) {
    folder.Write(name, "#!/bin/sh\n" + body);
    chmod((folder.path() / name).c_str(), 0755);
}

// The file a started program writes, once it is complete (it ends with "end\n").
std::string WaitForOutput(const TempFolder& folder, const std::string& name) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (Clock::now() < deadline) {
        const std::string text = folder.Read(name);
        if (text.size() >= 4 && text.compare(text.size() - 4, 4, "end\n") == 0) {
            return text;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return "(no output)";
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace

TEST(ShellExecute, StartsAProgramWithQuotedArgumentsInItsFolder) {
    TempFolder folder;
    WriteScript(folder, "launcher.sh",
                "{ pwd; for a in \"$@\"; do echo \"[$a]\"; done; echo end; } > out.tmp && "
                "mv out.tmp out.txt\n");
    const std::string program = (folder.path() / "launcher.sh").string();
    const INT_PTR result = ShellExecuteW(nullptr, L"open", Wide(program).c_str(),
                                         L"-hide \"two words\" 'x;y'", nullptr, SW_SHOWNORMAL);
    EXPECT_GT(result, 32);
    EXPECT_EQ(folder.path().string() + "\n[-hide]\n[two words]\n[x;y]\nend\n",
              WaitForOutput(folder, "out.txt"))
        << "arguments must arrive as words, never through a shell";
}

TEST(ShellExecute, NamedWorkingFolderIsUsed) {
    TempFolder folder, work;
    WriteScript(folder, "where.sh", "{ pwd; echo end; } > \"$1/out.txt\"\n");
    const std::string program = (folder.path() / "where.sh").string();
    ASSERT_GT(
        ShellExecuteW(nullptr, nullptr, Wide(program).c_str(), Wide(folder.path().string()).c_str(),
                      Wide(work.path().string()).c_str(), SW_SHOWNORMAL),
        32);
    EXPECT_EQ(work.path().string() + "\nend\n", WaitForOutput(folder, "out.txt"));
}

TEST(ShellExecute, MissingOrForbiddenProgramsFail) {
    TempFolder folder;
    folder.Write("plain.txt", "not a program");
    EXPECT_EQ(SE_ERR_FNF, ShellExecuteW(nullptr, L"open", folder.wide(L"RunSongDeck").c_str(),
                                        nullptr, nullptr, SW_SHOWNORMAL));
    EXPECT_EQ(SE_ERR_ACCESSDENIED,
              ShellExecuteW(nullptr, L"open", folder.wide(L"plain.txt").c_str(), nullptr, nullptr,
                            SW_SHOWNORMAL));
    EXPECT_EQ(SE_ERR_ACCESSDENIED,
              ShellExecuteW(nullptr, L"open", Wide(folder.path().string()).c_str(), nullptr,
                            nullptr, SW_SHOWNORMAL))
        << "a folder is no program";
    EXPECT_LE(ShellExecuteW(nullptr, L"print", L"/bin/true", nullptr, nullptr, SW_SHOWNORMAL), 32);
}

TEST(ShellExecute, OnlyWebAddressesGoToTheBrowser) {
    for (const wchar_t* url :
         {L"javascript:alert(1)", L"file:///etc/passwd", L"ftp://host/file", L"mailto:a@b.example",
          L"http://", L"https:///path", L"http://host name/", L"", L"www.example.com"}) {
        EXPECT_FALSE(platform::OpenUrlInBrowser(url)) << std::wstring(url).size();
    }
    EXPECT_EQ(SE_ERR_NOASSOC, ShellExecuteW(nullptr, L"open", L"javascript:alert(1)", nullptr,
                                            nullptr, SW_SHOWNORMAL));
    EXPECT_EQ(SE_ERR_NOASSOC,
              ShellExecuteW(nullptr, L"open", L"file:///bin/sh", nullptr, nullptr, SW_SHOWNORMAL));
}

// In a process of its own: GLib reads the XDG folders once per process.
TEST(ShellExecute, WebAddressOpensInTheUsersDefaultBrowser) {
    TempFolder home;
    WriteStandInBrowser(home, "{ echo \"$1\"; echo end; } > \"$(dirname \"$0\")/opened.txt\"\n");
    const std::string probe =
        (std::filesystem::path(GetModulePath(nullptr)).parent_path() / "songdeck_instance_probe")
            .string();
    auto open = [&](const std::string& url) {
        const std::string command = "env XDG_DATA_HOME='" + (home.path() / "data").string() +
                                    "' XDG_CONFIG_HOME='" + (home.path() / "config").string() +
                                    "' XDG_DATA_DIRS=/nonexistent '" + probe + "' open-url '" +
                                    url + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    // With a browser ready to take anything, bad addresses still never reach it.
    for (const char* bad : {"http://host name/", "http://exa\tmple.com/", "javascript:alert(1)",
                            "http://a%2fb.example/", "file:///etc/passwd"}) {
        EXPECT_EQ(1, open(bad)) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(home.path() / "opened.txt"));

    EXPECT_EQ(0, open("https://www.quorvi.example/m?from=client&x=1"))
        << "the browser was not started";
    EXPECT_EQ("https://www.quorvi.example/m?from=client&x=1\nend\n",
              WaitForOutput(home, "opened.txt"));
}
