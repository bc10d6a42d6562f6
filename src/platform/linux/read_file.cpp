#include "platform/read_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

CReadFile::~CReadFile() {
    Close();
}

bool CReadFile::Open(const std::filesystem::path& path) {
    Close();
    // Non-blocking, so that a pipe put in the file's place cannot hold the thread.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    m_nHandle = fd;
    return true;
}

int64_t CReadFile::Read(void* buffer, size_t size) {
    if (m_nHandle < 0) {
        return -1;
    }
    for (;;) {
        const ssize_t read = ::read(static_cast<int>(m_nHandle), buffer, size);
        if (read < 0 && errno == EINTR) {
            continue;
        }
        return read;
    }
}

void CReadFile::Close() {
    if (m_nHandle >= 0) {
        ::close(static_cast<int>(m_nHandle));
        m_nHandle = -1;
    }
}

}  // namespace platform
