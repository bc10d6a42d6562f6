// Wide text (UTF-32 wchar_t) to and from the UTF-8 that GTK takes.
#pragma once

#include <string>

namespace platform::detail {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const char* text);

}  // namespace platform::detail
