// The process-wide logger the system's WriteLog forwards to: one line per call, with the time
// and the level, in a log file that is rotated once it grows past a bound.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <memory>
#include <string>

class Logger {
public:
    static constexpr size_t kDefaultMaxBytes = 1 << 20;

    static Logger& instance();

    // Wide printf formats as the original platform reads them: "%s" and "%c" take wide text
    // (as do "%ls", "%ws", "%lc"), "%hs" and "%S" narrow text, "%I64d" a 64-bit integer.
    void fatal(const wchar_t* format, va_list args);
    void warning(const wchar_t* format, va_list args);
    void info(const wchar_t* format, va_list args);

    // Where the lines go. When a line would take the file past maxBytes, the file becomes
    // <path>.1 (replacing an older one) and a new file starts; processes that log into the
    // same file agree on this. Lines before this call are dropped.
    void SetFile(const std::wstring& path, size_t maxBytes = kDefaultMaxBytes);
    bool HasFile();

private:
    Logger();
    ~Logger();
    void Write(const char* level, const wchar_t* format, va_list args);

    struct State;  // the platform's file handle and lock
    std::unique_ptr<State> m_pState;
};
