// The process-wide logger the system's WriteLog forwards to: one line per call, with the time
// and the level, in a log file that is rotated once it grows past a bound.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <mutex>
#include <string>

class Logger {
public:
    static constexpr size_t kDefaultMaxBytes = 1 << 20;

    static Logger& instance();

    // Wide printf formats ("%ls" for wide text).
    void fatal(const wchar_t* format, va_list args);
    void warning(const wchar_t* format, va_list args);
    void info(const wchar_t* format, va_list args);

    // Where the lines go. When a line would take the file past maxBytes, the file becomes
    // <path>.1 (replacing an older one) and a new file starts. Lines before this are dropped.
    void SetFile(const std::wstring& path, size_t maxBytes = kDefaultMaxBytes);
    bool HasFile();

private:
    Logger() = default;
    void Write(const char* level, const wchar_t* format, va_list args);
    bool OpenLocked();
    void CloseLocked();

    std::mutex m_mutex;
    std::string m_strPath;
    size_t m_nMaxBytes = kDefaultMaxBytes;
    size_t m_nSize = 0;
    int m_hFile = -1;
};
