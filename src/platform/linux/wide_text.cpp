#include "platform/linux/wide_text.h"

#include <glib.h>

namespace platform::detail {

static_assert(sizeof(wchar_t) == sizeof(gunichar), "wide text is UTF-32 here");

std::string ToUtf8(const std::wstring& text) {
    glong written = 0;
    gchar* utf8 = g_ucs4_to_utf8(reinterpret_cast<const gunichar*>(text.data()),
                                 static_cast<glong>(text.size()), nullptr, &written, nullptr);
    if (utf8 == nullptr) {
        return std::string();  // not valid UCS-4: nothing rather than garbage
    }
    std::string result(utf8, static_cast<size_t>(written));
    g_free(utf8);
    return result;
}

std::wstring FromUtf8(const char* text) {
    if (text == nullptr) {
        return std::wstring();
    }
    glong written = 0;
    gunichar* ucs4 = g_utf8_to_ucs4(text, -1, nullptr, &written, nullptr);
    if (ucs4 == nullptr) {
        return std::wstring();
    }
    std::wstring result(reinterpret_cast<wchar_t*>(ucs4), static_cast<size_t>(written));
    g_free(ucs4);
    return result;
}

}  // namespace platform::detail
