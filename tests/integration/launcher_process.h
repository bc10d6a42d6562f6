// Runs the real launcher from a program folder of the test's own, whose "SongDeck" is a script
// or a stamped stand-in that records how it was started, with the client's folders redirected
// into the test folder.
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

#include <gtest/gtest.h>

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

    // The client stand-in, stamped with the build's version, in the place of the client.
    void UseClientStandIn() const {
        fs::copy_file(SONGDECK_CLIENT_STANDIN_PATH, Program() / "SongDeck",
                      fs::copy_options::overwrite_existing);
    }

    // Runs the launcher to its end (10 s at most), then waits up to 10 s for the client it
    // started; the client's line, or "" when none was started.
    std::string Run(const std::vector<std::string>& arguments = {}) const {
        const pid_t pid = Start("RunSongDeck", arguments, {});
        int status = 0;
        if (pid <= 0 || !WaitForExit(pid, status) || !WIFEXITED(status) ||
            WEXITSTATUS(status) != 0) {
            return "";
        }
        return ClientLine();
    }

    // Runs a program of the folder with the file-system step hook, which stops it just before
    // its step-th rename, link or unlink (tests/helpers/fs_step_hook.c). True when it was
    // stopped there, false when it ended by itself before.
    bool RunStoppedAt(const std::string& program, const std::vector<std::string>& arguments,
                      long step) const {
        const pid_t pid = Start(program, arguments,
                                {"LD_PRELOAD=" + std::string(SONGDECK_FS_STEP_HOOK_PATH),
                                 "SONGDECK_STOP_AT_STEP=" + std::to_string(step),
                                 // A sanitizer build's runtime would refuse to come after the hook.
                                 "ASAN_OPTIONS=verify_asan_link_order=0"});
        int status = 0;
        if (pid <= 0 || !WaitForExit(pid, status)) {
            ADD_FAILURE() << program << " did not end";
            return false;
        }
        return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    }

    // Waits up to 10 s for the line of the client the launcher started; "" when none came.
    std::string ClientLine() const {
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
    pid_t Start(const std::string& program, const std::vector<std::string>& arguments,
                const std::vector<std::string>& extraEnvironment) const {
        std::vector<std::string> texts{(Program() / program).string()};
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
        environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
        std::vector<char*> envp;
        for (std::string& entry : environment) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        pid_t pid = 0;
        return posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0 ? pid
                                                                                           : -1;
    }

    // Waits up to 10 s; a program still running then is killed and false returned.
    static bool WaitForExit(pid_t pid, int& status) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < deadline) {
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        return false;
    }

    TempFolder m_root;
};

}  // namespace launchertest
