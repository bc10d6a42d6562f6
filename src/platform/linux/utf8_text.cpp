#include "platform/linux/utf8_text.h"

#include <glib.h>

namespace platform::gtk {

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        gunichar c = static_cast<gunichar>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() &&
                (text[i + 1] & 0xFC00) == 0xDC00) {
                c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] & 0x3FF);
            }
        }
        if (!g_unichar_validate(c) && c != 0) {
            c = 0xFFFD;
        }
        char buffer[6];
        out.append(buffer, g_unichar_to_utf8(c, buffer));
    }
    return out;
}

std::wstring FromUtf8(const char* text) {
    std::wstring out;
    if (text == nullptr) {
        return out;
    }
    const char* p = text;
    while (*p != '\0') {
        gunichar c = g_utf8_get_char_validated(p, -1);
        if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
            ++p;
            continue;
        }
        if constexpr (sizeof(wchar_t) == 2) {
            if (c > 0xFFFF) {
                c -= 0x10000;
                out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
                out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
                p = g_utf8_next_char(p);
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(c));
        p = g_utf8_next_char(p);
    }
    return out;
}

}  // namespace platform::gtk
