// The Logger over the platform's log file: one call, one line with the time and the level.
#include "platform/logger.h"

#include <mutex>

#include "platform/log_file.h"
#include "platform/text_encoding.h"

struct Logger::State {
    std::mutex mutex;
    platform::detail::CLogFile file;
};

Logger::Logger() : m_pState(std::make_unique<State>()) {}
Logger::~Logger() = default;

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
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    m_pState->file.SetPath(path, maxBytes);
}

bool Logger::HasFile() {
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return m_pState->file.HasPath();
}

void Logger::Write(const char* level, const wchar_t* format, va_list args) {
    std::wstring text = platform::detail::FormatLogText(format, args);
    // One call, one line: line breaks inside the text would let it forge further lines.
    for (wchar_t& ch : text) {
        if (ch == L'\n' || ch == L'\r') {
            ch = L' ';
        }
    }
    const std::string line =
        platform::detail::LogTimeStamp() + " " + level + " " + WideToUtf8(text) + "\n";
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    if (m_pState->file.HasPath()) {
        m_pState->file.WriteLine(line);
    }
}
