// Native paths and atomic file replacement on POSIX file systems.
#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <random>
#include <string>

#include "platform/text_encoding.h"

namespace {

// Closes a descriptor on every way out.
class CFileDescriptor {
public:
    explicit CFileDescriptor(int fd) : m_fd(fd) {}
    ~CFileDescriptor() {
        if (m_fd >= 0) {
            int saved = errno;
            ::close(m_fd);
            errno = saved;
        }
    }
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

bool WriteAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A temporary name beside the target that no other writer picks.
std::string TemporaryNameFor(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 random{std::random_device{}()};
    std::filesystem::path path(target);
    std::string name = "." + path.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                       std::to_string(counter++) + "-" + std::to_string(random() % 100000);
    return (path.parent_path() / name).string();
}

// The writer's process id of a temporary file TemporaryNameFor made, or 0 for any other name.
pid_t TemporaryWriter(const std::string& name) {
    size_t tmp = name.rfind(".tmp");
    if (name.empty() || name[0] != '.' || tmp == std::string::npos) {
        return 0;
    }
    // ".tmp" <pid> "-" <counter> "-" <random>, digits only.
    size_t dashes = 0;
    for (size_t i = tmp + 4; i < name.size(); ++i) {
        if (name[i] == '-' && i > tmp + 4 && name[i - 1] != '-') {
            ++dashes;
        } else if (name[i] < '0' || name[i] > '9') {
            return 0;
        }
    }
    if (dashes != 2 || name.back() == '-') {
        return 0;
    }
    return static_cast<pid_t>(std::strtol(name.c_str() + tmp + 4, nullptr, 10));
}

// A write that was killed leaves its temporary file, a full copy of what it wrote: remove
// those whose writer is gone. A live writer (this process among them) keeps its own.
void RemoveStaleTemporaries(const std::filesystem::path& target) {
    std::error_code error;
    std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        pid_t writer = TemporaryWriter(name);
        if (writer <= 0 || writer == ::getpid()) {
            continue;
        }
        if (::kill(writer, 0) != 0 && errno == ESRCH && entry.is_regular_file(error)) {
            ::unlink(entry.path().c_str());
        }
    }
}

void SyncFolderOf(const std::filesystem::path& path) {
    std::filesystem::path folder = path.parent_path();
    CFileDescriptor fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY));
    if (fd.get() >= 0) {
        ::fsync(fd.get());
    }
}

}  // namespace

std::filesystem::path PathFromWide(std::wstring_view path) {
    std::wstring text(path);
    for (wchar_t& ch : text) {
        if (ch == L'\\') {
            ch = L'/';
        }
    }
    return std::filesystem::path(WideToUtf8(text));
}

std::wstring WideFromPath(const std::filesystem::path& path) {
    return Utf8ToWide(path.native());
}

BOOL ReplaceFileAtomically(const std::filesystem::path& path, const void* data, size_t size) {
    const std::string& target = path.native();
    {
        int saved = errno;
        RemoveStaleTemporaries(path);
        errno = saved;
    }
    mode_t mode = 0666;  // before the umask, as a file created in place would be
    struct stat existing;
    if (::stat(target.c_str(), &existing) == 0) {
        if (!S_ISREG(existing.st_mode)) {
            errno = EISDIR;
            return FALSE;
        }
        if ((existing.st_mode & 0222) == 0) {
            errno = EACCES;
            return FALSE;
        }
        mode = existing.st_mode & 07777;
    }
    std::string temporary;
    int raw = -1;
    for (int attempt = 0; attempt < 8 && raw < 0; ++attempt) {
        temporary = TemporaryNameFor(target);
        raw = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST) {
            return FALSE;
        }
    }
    if (raw < 0) {
        return FALSE;
    }
    CFileDescriptor fd(raw);
    bool ok = WriteAll(fd.get(), data, size);
    if (ok && mode != 0666) {
        ok = ::fchmod(fd.get(), mode) == 0;
    }
    ok = ok && ::fsync(fd.get()) == 0;
    int closed = ::close(fd.release());
    ok = ok && closed == 0;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        int saved = errno;
        ::unlink(temporary.c_str());
        errno = saved;
        return FALSE;
    }
    SyncFolderOf(path);
    return TRUE;
}

CFolderLock::CFolderLock(const std::filesystem::path& folder)
    : m_hFolder(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (m_hFolder < 0) {
        return;
    }
    // flock locks belong to the open file description, so they also keep threads of one
    // process apart.
    int rc;
    do {
        rc = ::flock(static_cast<int>(m_hFolder), LOCK_EX);
    } while (rc != 0 && errno == EINTR);
    m_bLocked = rc == 0;
}

CFolderLock::~CFolderLock() {
    if (m_hFolder >= 0) {
        ::close(static_cast<int>(m_hFolder));  // releases the lock
    }
}
