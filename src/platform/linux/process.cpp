#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/linux/display_session.h"
#include "platform/linux/narrow_arguments.h"
#include "platform/text_encoding.h"

bool StartDetachedProgram(const std::wstring& path, const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> words{path};
    words.insert(words.end(), arguments.begin(), arguments.end());
    platform::detail::CNarrowArguments argv(words);
    // A new session, so that the started program is no child of our terminal or our caller.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    gchar** environment = platform::session::ChildEnvironment();
    const int error =
        posix_spawn(&pid, argv.Argv()[0], nullptr, &attributes, argv.Argv(), environment);
    g_strfreev(environment);
    posix_spawnattr_destroy(&attributes);
    return error == 0;
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
