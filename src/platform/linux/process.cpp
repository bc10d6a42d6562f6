#include "platform/process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

bool FlushToDisk(const std::wstring& path) {
    const int fd = ::open(WideToUtf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool flushed = ::fsync(fd) == 0;
    ::close(fd);
    return flushed;
}
