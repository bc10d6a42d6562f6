// A program folder for the benchmarks: the client built beside the benchmark, one page as its
// res/main.html, and every folder the client writes to inside the same temporary folder.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

class CBenchClientFolder {
public:
    // page: the HTML of res/main.html; buildDir: the build folder the client comes from (empty:
    // the one this benchmark was built in).
    explicit CBenchClientFolder(const std::string& page, const std::string& buildDir = "");
    ~CBenchClientFolder();

    std::string ClientPath() const { return m_root + "/program/SongDeck"; }
    std::string PagePath() const { return m_root + "/program/res/main.html"; }
    // The client's folders; also the reference's data folders, so both start alike. A client
    // of another build runs without G_DEBUG: older builds may not pass a fatal-criticals session.
    const std::vector<std::pair<std::string, std::string>>& Environment() const { return m_env; }
    const std::vector<std::string>& UnsetEnvironment() const { return m_unset; }
    // Starts the client with one argument, in this folder's environment.
    pid_t StartClient() const;
    // Runs the client's "exit" mode and waits for the client to end (at most 20 s).
    bool ExitClient(pid_t client) const;
    // Whether a line of the client's log holds the text.
    bool LogHolds(const std::string& text) const;

private:
    std::string m_root;
    std::vector<std::pair<std::string, std::string>> m_env;
    std::vector<std::string> m_unset;
};

// The folder of the running benchmark executable.
std::string BenchExecutableDir();
// Waits for the process to end, at most timeoutMs; true when it did.
bool WaitForProcess(pid_t pid, int timeoutMs);
