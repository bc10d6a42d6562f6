// Files beside the test executable (test.ini, serverurl.txt, the launchers), which the system
// reads from there. Test programs of one build share that folder, so a test holding such files
// takes a lock on the folder for as long as they exist.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

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
        m_fd = ::open((ExecutableFolder() / ".beside-executable.lock").c_str(),
                      O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (m_fd >= 0) {
            ::flock(m_fd, LOCK_EX);
        }
    }
    ~ExecutableFolderLock() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    ExecutableFolderLock(const ExecutableFolderLock&) = delete;
    ExecutableFolderLock& operator=(const ExecutableFolderLock&) = delete;

private:
    int m_fd = -1;
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
