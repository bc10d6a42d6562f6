#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/linux/display_session.h"
#include "platform/linux/narrow_arguments.h"
#include "platform/text_encoding.h"

namespace {

// A new session, so that the started program is no child of our terminal or our caller.
pid_t SpawnInNewSession(const std::wstring& path, const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> words{path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    platform::detail::CNarrowArguments argv(words);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    gchar** environment = platform::session::ChildEnvironment();
    const int error =
        posix_spawn(&pid, argv.Argv()[0], nullptr, &attributes, argv.Argv(), environment);
    g_strfreev(environment);
    posix_spawnattr_destroy(&attributes);
    return error == 0 ? pid : 0;
}

}  // namespace

bool StartDetachedProgram(const std::wstring& path, const std::vector<std::wstring>& arguments) {
    return SpawnInNewSession(path, arguments) != 0;
}

CWatchedProgram::~CWatchedProgram() = default;

bool CWatchedProgram::Start(const std::wstring& path, const std::vector<std::wstring>& arguments) {
    m_process = SpawnInNewSession(path, arguments);
    return m_process != 0;
}

bool CWatchedProgram::HasEnded() {
    if (m_process == 0) {
        return true;
    }
    int status = 0;
    const pid_t pid = static_cast<pid_t>(m_process);
    if (waitpid(pid, &status, WNOHANG) == 0) {
        return false;
    }
    m_process = 0;
    return true;
}

void CWatchedProgram::End() {
    if (m_process != 0) {
        const pid_t pid = static_cast<pid_t>(m_process);
        // The whole group: the program's own helpers (its web engine) go with it.
        kill(-pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        m_process = 0;
    }
}

namespace {

bool SomeProcessUses(const std::string& folder) {
    std::error_code error;
    const std::string self = std::to_string(getpid());
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        if (process.path().filename() == self) {
            continue;
        }
        // Processes of other users cannot be looked into, nor write into this user's folders.
        std::error_code closed;
        for (const auto& file :
             std::filesystem::directory_iterator(process.path() / "fd", closed)) {
            std::error_code gone;
            const std::string target = std::filesystem::read_symlink(file.path(), gone).string();
            if (!gone && target.compare(0, folder.size(), folder) == 0) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

bool WaitUntilNoProcessUses(const std::wstring& folder, DWORD timeoutMs) {
    std::string prefix = std::filesystem::path(WideToUtf8(folder)).lexically_normal().string();
    if (prefix.empty() || prefix.back() != '/') {
        prefix += '/';
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (SomeProcessUses(prefix)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

bool FlushToDisk(const std::wstring& path) {
    const int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool flushed = ::fsync(fd) == 0;
    ::close(fd);
    return flushed;
}

DWORD CurrentProcessId() {
    return static_cast<DWORD>(getpid());
}

bool WaitForProcessEnd(DWORD processId, DWORD timeoutMs) {
    const std::string stat = "/proc/" + std::to_string(processId) + "/stat";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        // An ended process that its parent has not reaped yet reads as state Z.
        std::ifstream file(stat);
        std::string text;
        std::getline(file, text);
        const size_t end = text.rfind(')');
        if (!file || end == std::string::npos || text.compare(end, 3, ") Z") == 0) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
