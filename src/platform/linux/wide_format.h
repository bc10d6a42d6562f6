// Wide printf formats as the original platform's wide printf reads them, on the C library here.
#pragma once

#include <cstdarg>
#include <string>

// The format with each conversion spelt for this C library: "%s" and "%c" (wide text there)
// become "%ls" and "%lc", "%hs", "%S" and "%C" narrow, "%ws" wide, "%I64d" "%lld".
std::wstring TranslateWideFormat(const wchar_t* format);

// The text of a wide format and its arguments; a line that cannot be formatted says so.
std::wstring FormatWideText(const wchar_t* format, va_list args);
