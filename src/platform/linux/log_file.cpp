// The log file, shared by every process of the user: each line is written under an flock of
// the file, after checking that the path still names the file (another process may have
// rotated it) and by the file's real size, so rotation is decided once and no line is lost.
#include "platform/log_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>

#include "platform/text_encoding.h"
#include "wide_format.h"

namespace platform::detail {

std::string LogTimeStamp() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()) % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof(text), "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(millis.count()));
    return text;
}

std::wstring FormatLogText(const wchar_t* format, va_list args) {
    return FormatWideText(format, args);
}

namespace {

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

void WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // the rest is lost; the next line starts on a line of its own
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

}  // namespace

struct CLogFile::Impl {
    std::string path;
    size_t maxBytes = 0;
    int fd = -1;
    pid_t owner = 0;  // a forked child opens its own file description, or flock would not part it

    ~Impl() { Close(); }

    void Close() {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }

    bool Open() {
        if (fd >= 0 && owner == ::getpid()) {
            return true;
        }
        Close();
        fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        owner = ::getpid();
        return fd >= 0;
    }

    // With the file locked: whether the path still names it, and its size.
    bool LockCurrent(off_t& size) {
        int rc;
        do {
            rc = ::flock(fd, LOCK_EX);
        } while (rc != 0 && errno == EINTR);
        struct stat opened, named;
        if (rc != 0 || ::fstat(fd, &opened) != 0) {
            return false;
        }
        if (::stat(path.c_str(), &named) != 0 || !SameFile(opened, named)) {
            Close();  // rotated (or removed) by another process: open what the path names now
            return false;
        }
        size = opened.st_size;
        return true;
    }

    bool EndsWithLineBreak(off_t size) {
        char last = '\n';
        return size == 0 || ::pread(fd, &last, 1, size - 1) != 1 || last == '\n';
    }

    void WriteLine(const std::string& line) {
        // A few rounds at most: each lost round means another process rotated in between.
        for (int attempt = 0; attempt < 8; ++attempt) {
            if (!Open()) {
                return;
            }
            off_t size = 0;
            if (!LockCurrent(size)) {
                continue;
            }
            if (size > 0 && static_cast<size_t>(size) + line.size() > maxBytes) {
                // A file that cannot be moved grows on rather than lose the line.
                std::string rotated = path + ".1";
                if (::rename(path.c_str(), rotated.c_str()) == 0) {
                    Close();
                    continue;
                }
            }
            // A line cut short (a full disk, a killed writer) must not swallow this one.
            if (!EndsWithLineBreak(size)) {
                WriteAll(fd, "\n", 1);
            }
            WriteAll(fd, line.data(), line.size());
            ::flock(fd, LOCK_UN);
            return;
        }
    }
};

CLogFile::CLogFile() : m_pImpl(std::make_unique<Impl>()) {}
CLogFile::~CLogFile() = default;

void CLogFile::SetPath(const std::wstring& path, size_t maxBytes) {
    m_pImpl->Close();
    m_pImpl->path = WideToUtf8(path);
    m_pImpl->maxBytes = maxBytes;
}

bool CLogFile::HasPath() const {
    return !m_pImpl->path.empty();
}

void CLogFile::WriteLine(const std::string& line) {
    m_pImpl->WriteLine(line);
}

}  // namespace platform::detail
