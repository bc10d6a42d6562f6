// All diagnostic output goes through WriteLog.
#pragma once

#include <cstdarg>

enum LogLevel { fatal = 0, warning = 1, info = 2 };

// Wide printf formats as the original platform reads them: "%s" takes wide text (so does
// "%ls"), on every platform. Text from pages is always an argument of "%s", never part of the
// format.
void WriteLog(LogLevel level, const wchar_t* format, ...);
