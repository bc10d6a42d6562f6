// Runs the real launcher from a program folder of the test's own, whose "SongDeck" is a script
// or a stamped stand-in that records how it was started, with the client's folders redirected
// into the test folder.
#pragma once

#ifndef _WIN32
#include <signal.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/executable_suffix.h"
#include "platform/text_encoding.h"
#include "unit/temp_folder.h"
#include "unit/test_process.h"

namespace launchertest {

namespace fs = std::filesystem;

// The program folder's file names as the platform writes them (SongDeck.exe on Windows).
inline const std::string kClient = "SongDeck" + WideToUtf8(kExecutableSuffix);
inline const std::string kLauncher = "RunSongDeck" + WideToUtf8(kExecutableSuffix);
inline const std::string kDeliveredLauncher = "RunSongDeck2" + WideToUtf8(kExecutableSuffix);

// The client stand-in with a word in a marker line at its end, which it records instead of its
// stamp; "broken-exit", "broken-hang" or "broken-signal" make it fail to start that way.
inline std::string MarkedStandIn(const std::string& word) {
    std::ifstream standIn(SONGDECK_CLIENT_STANDIN_PATH, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(standIn), {}) + "\n#songdeck-client " + word +
           "\n";
}

// A client that writes its version word and its arguments to started.txt beside itself and
// gives the launcher its word that it started: a script on POSIX, the marked stand-in on
// Windows.
inline std::string ClientScript(const std::string& version) {
#ifdef _WIN32
    return MarkedStandIn(version);
#else
    return "#!/bin/sh\necho \"" + version + " $*\" > \"$(dirname \"$0\")/started.tmp\"\n" +
           "mv \"$(dirname \"$0\")/started.tmp\" \"$(dirname \"$0\")/started.txt\"\n" +
           "kept=\"$SONGDECK_COMMON_APPDATA/Tavnel/SongDeck/previous\"\n" +
           "[ -f \"$kept/list\" ] && echo > \"$kept/started\"\n";
#endif
}

#ifdef _WIN32
inline const std::string kStage = "local/Tavnel/SongDeck/update/";
#else
inline const std::string kStage = "common/Tavnel/SongDeck/update/";
#endif

class LauncherFolder {
public:
    LauncherFolder() {
        fs::create_directories(Program());
        fs::copy_file(SONGDECK_LAUNCHER_PATH, Program() / kLauncher);
        WriteClient("old");
        fs::create_directories(Runtime());
        fs::permissions(Runtime(), fs::perms::owner_all);
    }
    // The launcher's runtime folder, where a running client holds its place.
    fs::path Runtime() const { return m_root.path() / "runtime"; }
    fs::path Program() const { return m_root.path() / "program"; }
    // The update folder the launcher reads: the user's own (the all-users data folder is the
    // user's on Linux, every user's on Windows) + "update".
    fs::path Stage() const { return m_root.path() / kStage; }
    // Where the launcher keeps the version an update replaced until the new one has started.
    fs::path Kept() const { return State() / "previous"; }
    // The folder around the stage, where refused versions are recorded.
    fs::path State() const { return (Stage() / "..").lexically_normal(); }
    // Shortens the launcher's wait for a new version's word that it started.
    void SetStartWait(int seconds) { m_startWait = std::to_string(seconds); }
    const TempFolder& root() const { return m_root; }

    void WriteClient(const std::string& version) const {
        m_root.Write("program/" + kClient, ClientScript(version));
        fs::permissions(Program() / kClient, fs::perms(0755));
    }

    // The client stand-in, stamped with the build's version, in the place of the client.
    void UseClientStandIn() const {
        fs::copy_file(SONGDECK_CLIENT_STANDIN_PATH, Program() / kClient,
                      fs::copy_options::overwrite_existing);
    }

    // Runs the launcher to its end (10 s at most), then waits up to 10 s for the client it
    // started; the client's line, or "" when none was started.
    std::string Run(const std::vector<std::string>& arguments = {}) const {
        int status = -1;
        if (!Start(kLauncher, arguments, {}, status) || status != 0) {
            return "";
        }
        return ClientLine();
    }

    // Runs a program of the folder with the file-system step hook, which stops it just before
    // its step-th rename, link or unlink (tests/helpers/fs_step_hook.c). True when it was
    // stopped there, false when it ended by itself before.
    bool RunStoppedAt(const std::string& program, const std::vector<std::string>& arguments,
                      long step) const {
#ifdef _WIN32
        ADD_FAILURE() << "no file-system step hook on Windows";
        return false;
#else
        int status = 0;
        if (!Start(program, arguments,
                   {{"LD_PRELOAD", SONGDECK_FS_STEP_HOOK_PATH},
                    {"SONGDECK_STOP_AT_STEP", std::to_string(step)},
                    // A sanitizer build's runtime would refuse to come after the hook.
                    {"ASAN_OPTIONS", "verify_asan_link_order=0"}},
                   status)) {
            ADD_FAILURE() << program << " did not end";
            return false;
        }
        return status == 128 + SIGKILL;
#endif
    }

    // Waits up to 10 s for the line of the client the launcher started; "" when none came.
    std::string ClientLine() const {
        const fs::path started = Program() / "started.txt";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!fs::exists(started) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::string line = m_root.Read("program/started.txt");
        std::error_code error;
        fs::remove(started, error);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
            line.pop_back();
        }
        return line;
    }

private:
    using Variables = TestProcess::Variables;

    // Runs the program with the client's folders in the test folder and waits up to 10 s for
    // its end: true with its exit status (128 + the signal that ended it), false when it had
    // to be killed.
    bool Start(const std::string& program, const std::vector<std::string>& arguments,
               Variables extra, int& status) const {
        Variables variables{{"SONGDECK_COMMON_APPDATA", (m_root.path() / "common").string()},
                            {"SONGDECK_LOCAL_APPDATA", (m_root.path() / "local").string()},
                            {"XDG_RUNTIME_DIR", Runtime().string()},
                            {"SONGDECK_START_WAIT_SECONDS", m_startWait}};
        variables.insert(variables.end(), extra.begin(), extra.end());
        TestProcess process;
        if (!process.Start(Program() / program, arguments, variables)) {
            return false;
        }
        return process.Wait(std::chrono::seconds(10), status);
    }

    TempFolder m_root;
    std::string m_startWait;
};

}  // namespace launchertest
