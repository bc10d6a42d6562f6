// WriteLog picks the logger's member by level; the log file lives in the user data folder.
#include "app/log.h"

#include <mutex>

#include "app/environment.h"
#include "platform/logger.h"

namespace {

Logger& OpenedLogger() {
    static std::once_flag opened;
    std::call_once(opened, [] {
        if (!Logger::instance().HasFile()) {
            Logger::instance().SetFile(GetUserDataDir() + L"SongDeck.log");
        }
    });
    return Logger::instance();
}

}  // namespace

void WriteLog(LogLevel level, const wchar_t* format, ...) {
    if (level != fatal && level != warning && level != info) {
        return;
    }
    Logger& logger = OpenedLogger();
    va_list args;
    va_start(args, format);
    switch (level) {
        case fatal:
            logger.fatal(format, args);
            break;
        case warning:
            logger.warning(format, args);
            break;
        case info:
            logger.info(format, args);
            break;
    }
    va_end(args);
}
