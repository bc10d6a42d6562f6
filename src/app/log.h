// All diagnostic output goes through WriteLog.
#pragma once

#include <cstdarg>

enum LogLevel { fatal = 0, warning = 1, info = 2 };

// Wide printf formats: "%ls" for wide text, on every platform. Text from pages is always an
// argument of "%ls", never part of the format.
void WriteLog(LogLevel level, const wchar_t* format, ...);
