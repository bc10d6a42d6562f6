#include "platform/write_file.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/text_encoding.h"

namespace platform {

CWriteFile::~CWriteFile() {
    Close();
}

CWriteFile::OpenResult CWriteFile::OpenExisting(const std::filesystem::path& path) {
    Close();
    // Non-blocking, so that a pipe put in the file's place cannot hold the thread.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        switch (errno) {
            case ENOENT:
                return OpenResult::Missing;
            case ELOOP:
            case EISDIR:
            case ENXIO:
                return OpenResult::NotRegular;
            default:
                return OpenResult::Failed;
        }
    }
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return OpenResult::NotRegular;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (lseek(fd, 0, SEEK_END) < 0) {
        ::close(fd);
        return OpenResult::Failed;
    }
    m_nHandle = fd;
    return OpenResult::Opened;
}

bool CWriteFile::Create(const std::filesystem::path& path) {
    Close();
    // Whatever lies there goes (a link itself, never its target); O_EXCL then refuses anything
    // that appears in between, a link included.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    m_nHandle = fd;
    return true;
}

uint64_t CWriteFile::Size() const {
    struct stat status {};
    if (m_nHandle < 0 || fstat(static_cast<int>(m_nHandle), &status) != 0) {
        return 0;
    }
    return static_cast<uint64_t>(status.st_size);
}

bool CWriteFile::Write(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(static_cast<int>(m_nHandle), bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return m_nHandle >= 0;
}

bool CWriteFile::Truncate(uint64_t size) {
    const int fd = static_cast<int>(m_nHandle);
    return fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) == 0 &&
           lseek(fd, static_cast<off_t>(size), SEEK_SET) >= 0;
}

bool CWriteFile::Flush() {
    return m_nHandle >= 0 && ::fsync(static_cast<int>(m_nHandle)) == 0;
}

void CWriteFile::Close() {
    if (m_nHandle >= 0) {
        ::close(static_cast<int>(m_nHandle));
        m_nHandle = -1;
    }
}

bool IsFileNameTooLong(std::wstring_view name) {
    return WideToUtf8(name).size() > NAME_MAX;
}

}  // namespace platform
