// Files beside the test executable (test.ini, serverurl.txt, the launchers), which the system
// reads from there. Test programs of one build share that folder, so a test holding such files
// takes a lock on the folder for as long as they exist.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <string>

#include "app/helpers.h"
#include "platform/files.h"

namespace updatetest {

inline std::filesystem::path ExecutableFolder() {
    return PathFromWide(GetModuleDirectory(nullptr));
}

class ExecutableFolderLock {
public:
    ExecutableFolderLock() {
        const std::filesystem::path path = ExecutableFolder() / ".beside-executable.lock";
#ifdef _WIN32
        m_file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0, nullptr);
        OVERLAPPED whole{};
        if (m_file != INVALID_HANDLE_VALUE &&
            !LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
            CloseHandle(m_file);
            m_file = INVALID_HANDLE_VALUE;
        }
#else
        m_fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
#endif
    }
    ~ExecutableFolderLock() {
#ifdef _WIN32
        if (m_file != INVALID_HANDLE_VALUE) {
            CloseHandle(m_file);  // drops the lock
        }
#else
        if (m_fd >= 0) {
            ::close(m_fd);
        }
#endif
    }
    ExecutableFolderLock(const ExecutableFolderLock&) = delete;
    ExecutableFolderLock& operator=(const ExecutableFolderLock&) = delete;

private:
#ifdef _WIN32
    HANDLE m_file = INVALID_HANDLE_VALUE;
#else
    int m_fd = -1;
#endif
};

// A file beside the executable, removed at the end. Hold an ExecutableFolderLock meanwhile.
class FileBesideExecutable {
public:
    FileBesideExecutable(const std::string& name, const std::string& content)
        : m_path(ExecutableFolder() / name) {
        std::ofstream(m_path, std::ios::binary) << content;
    }
    ~FileBesideExecutable() {
        std::error_code error;
        std::filesystem::remove(m_path, error);
    }
    FileBesideExecutable(const FileBesideExecutable&) = delete;
    FileBesideExecutable& operator=(const FileBesideExecutable&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

}  // namespace updatetest
