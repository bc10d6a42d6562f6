// Runs the real launcher from a program folder of the test's own, whose "SongDeck" is a script
// that records how it was started, with the client's folders redirected into the test folder.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "unit/temp_folder.h"

extern char** environ;

namespace launchertest {

namespace fs = std::filesystem;

// A client that writes its version word and its arguments to started.txt beside itself.
inline std::string ClientScript(const std::string& version) {
    return "#!/bin/sh\necho \"" + version + " $*\" > \"$(dirname \"$0\")/started.tmp\"\n" +
           "mv \"$(dirname \"$0\")/started.tmp\" \"$(dirname \"$0\")/started.txt\"\n";
}

class LauncherFolder {
public:
    LauncherFolder() {
        fs::create_directories(Program());
        fs::copy_file(SONGDECK_LAUNCHER_PATH, Program() / "RunSongDeck");
        WriteClient("old");
        fs::create_directories(Runtime());
        fs::permissions(Runtime(), fs::perms::owner_all);
    }
    // The launcher's runtime folder, where a running client holds its place.
    fs::path Runtime() const { return m_root.path() / "runtime"; }
    fs::path Program() const { return m_root.path() / "program"; }
    // The update folder the launcher reads: the all-users data folder + "update".
    fs::path Stage() const { return m_root.path() / "common" / "Tavnel" / "SongDeck" / "update"; }
    const TempFolder& root() const { return m_root; }

    void WriteClient(const std::string& version) const {
        m_root.Write("program/SongDeck", ClientScript(version));
        fs::permissions(Program() / "SongDeck", fs::perms(0755));
    }

    // Runs the launcher to its end (10 s at most), then waits up to 10 s for the client it
    // started; the client's line, or "" when none was started.
    std::string Run(const std::vector<std::string>& arguments = {}) const {
        std::vector<std::string> texts{(Program() / "RunSongDeck").string()};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& text : texts) {
            argv.push_back(text.data());
        }
        argv.push_back(nullptr);
        std::vector<std::string> environment{
            "SONGDECK_COMMON_APPDATA=" + (m_root.path() / "common").string(),
            "SONGDECK_LOCAL_APPDATA=" + (m_root.path() / "local").string(), "PATH=/usr/bin:/bin",
            "XDG_RUNTIME_DIR=" + Runtime().string()};
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
            return "";
        }
        if (!WaitForExit(pid)) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
            return "";
        }
        const fs::path started = Program() / "started.txt";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(started) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::string line = m_root.Read("program/started.txt");
        fs::remove(started);
        while (!line.empty() && line.back() == '\n') {
            line.pop_back();
        }
        return line;
    }

private:
    static bool WaitForExit(pid_t pid) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                return WIFEXITED(status) && WEXITSTATUS(status) == 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    TempFolder m_root;
};

}  // namespace launchertest
