// The log file: each line goes out in one write() on an O_APPEND descriptor, under a mutex, so
// lines of two threads (or two processes) never interleave.
#include "platform/logger.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <vector>

#include "platform/text_encoding.h"

namespace {

// The formatted text of one call; a line that cannot be formatted says so instead.
std::wstring FormatLine(const wchar_t* format, va_list args) {
    if (format == nullptr) {
        return {};
    }
    constexpr size_t kMaxChars = 1 << 20;
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), buffer.size(), format, copy);
        va_end(copy);
        if (n >= 0) {
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        }
        // vswprintf answers -1 both for a short buffer and for a bad format.
        if (buffer.size() >= kMaxChars) {
            return L"(line could not be formatted)";
        }
        buffer.resize(buffer.size() * 4);
    }
}

std::string TimeStamp() {
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

}  // namespace

Logger& Logger::instance() {
    // Never destroyed: threads may still log while the process ends.
    static Logger* logger = new Logger();
    return *logger;
}

void Logger::fatal(const wchar_t* format, va_list args) {
    Write("FATAL", format, args);
}

void Logger::warning(const wchar_t* format, va_list args) {
    Write("WARNING", format, args);
}

void Logger::info(const wchar_t* format, va_list args) {
    Write("INFO", format, args);
}

void Logger::SetFile(const std::wstring& path, size_t maxBytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    CloseLocked();
    m_strPath = WideToUtf8(path);
    m_nMaxBytes = maxBytes;
}

bool Logger::HasFile() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_strPath.empty();
}

bool Logger::OpenLocked() {
    if (m_hFile >= 0) {
        return true;
    }
    if (m_strPath.empty()) {
        return false;
    }
    m_hFile = ::open(m_strPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (m_hFile < 0) {
        return false;
    }
    struct stat status;
    m_nSize = ::fstat(m_hFile, &status) == 0 ? static_cast<size_t>(status.st_size) : 0;
    return true;
}

void Logger::CloseLocked() {
    if (m_hFile >= 0) {
        ::close(m_hFile);
        m_hFile = -1;
    }
}

void Logger::Write(const char* level, const wchar_t* format, va_list args) {
    std::wstring text = FormatLine(format, args);
    // One call, one line: line breaks inside the text would let it forge further lines.
    for (wchar_t& ch : text) {
        if (ch == L'\n' || ch == L'\r') {
            ch = L' ';
        }
    }
    std::string line = TimeStamp() + " " + level + " " + WideToUtf8(text) + "\n";

    std::lock_guard<std::mutex> lock(m_mutex);
    if (!OpenLocked()) {
        return;
    }
    if (m_nSize > 0 && m_nSize + line.size() > m_nMaxBytes) {
        CloseLocked();
        std::string rotated = m_strPath + ".1";
        ::rename(m_strPath.c_str(), rotated.c_str());
        if (!OpenLocked()) {
            return;
        }
    }
    ssize_t written = ::write(m_hFile, line.data(), line.size());
    if (written > 0) {
        m_nSize += static_cast<size_t>(written);
    }
}
