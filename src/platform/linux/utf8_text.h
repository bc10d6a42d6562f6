// Wide text to and from the UTF-8 that GTK, GLib and WebKit speak.
#pragma once

#include <string>

namespace platform::gtk {

// Characters that UTF-8 cannot carry (lone surrogates, values past Unicode) become U+FFFD.
std::string ToUtf8(const std::wstring& text);
// Malformed sequences become U+FFFD; null is the empty text.
std::wstring FromUtf8(const char* text);

}  // namespace platform::gtk
