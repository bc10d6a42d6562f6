// The platform's half of the Logger: the file that every process of the user appends to, the
// time stamp, and the wide format as the original platform reads it.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <memory>
#include <string>

namespace platform::detail {

class CLogFile {
public:
    CLogFile();
    ~CLogFile();
    CLogFile(const CLogFile&) = delete;
    CLogFile& operator=(const CLogFile&) = delete;

    void SetPath(const std::wstring& path, size_t maxBytes);
    bool HasPath() const;
    // Appends the line; when it would take the file past maxBytes, the file becomes
    // <path>.1 first. The caller keeps other threads of this process out.
    void WriteLine(const std::string& line);

private:
    struct Impl;
    std::unique_ptr<Impl> m_pImpl;
};

// "2026-01-31 12:00:00.000", local time.
std::string LogTimeStamp();
// The text of a wide format and its arguments; a line that cannot be formatted says so.
std::wstring FormatLogText(const wchar_t* format, va_list args);

}  // namespace platform::detail
