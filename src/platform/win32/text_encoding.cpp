// Code page 936 and UTF-8 through the system's own conversions (wchar_t holds UTF-16 here).
#include "platform/text_encoding.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace {

constexpr UINT kCodePage936 = 936;
constexpr wchar_t kReplacement = 0xFFFD;

bool IsSurrogate(wchar_t ch) {
    return ch >= 0xD800 && ch <= 0xDFFF;
}

// A byte that may follow a lead byte.
bool IsTrail(unsigned char byte) {
    return byte >= 0x40 && byte <= 0xFE && byte != 0x7F;
}

// Both conversions take int counts; longer texts go piece by piece would split characters, so
// they are refused.
bool FitsInt(size_t count) {
    return count <= static_cast<size_t>(INT_MAX);
}

}  // namespace

size_t ConvertWideTo936(const wchar_t* text, size_t count, char* out, size_t outBytes) {
    if (count == 0) {
        return 0;
    }
    if (!FitsInt(count) || (out != nullptr && !FitsInt(outBytes))) {
        errno = EINVAL;
        return 0;
    }
    // A character beyond the Basic Multilingual Plane has no form in the code page: one '?'
    // for it, as for any other character, not one for each half of its surrogate pair.
    std::wstring characters;
    if (std::any_of(text, text + count, IsSurrogate)) {
        for (size_t i = 0; i < count; ++i) {
            const bool pair =
                i + 1 < count && IS_HIGH_SURROGATE(text[i]) && IS_LOW_SURROGATE(text[i + 1]);
            characters += IsSurrogate(text[i]) ? L'?' : text[i];
            i += pair ? 1 : 0;
        }
        text = characters.data();
        count = characters.size();
    }
    const int needed = WideCharToMultiByte(kCodePage936, 0, text, static_cast<int>(count), nullptr,
                                           0, nullptr, nullptr);
    if (out == nullptr || needed <= 0) {
        return needed > 0 ? static_cast<size_t>(needed) : 0;
    }
    if (static_cast<size_t>(needed) > outBytes) {
        errno = E2BIG;
        return 0;
    }
    return static_cast<size_t>(WideCharToMultiByte(kCodePage936, 0, text, static_cast<int>(count),
                                                   out, static_cast<int>(outBytes), nullptr,
                                                   nullptr));
}

size_t Convert936ToWide(const char* text, size_t count, wchar_t* out, size_t outChars) {
    // Character by character, so that a lead byte without its trail never takes a byte that is
    // text by itself (a line break, '=') along with it; the pairs are the system's.
    size_t produced = 0;
    size_t i = 0;
    while (i < count) {
        const auto byte = static_cast<unsigned char>(text[i]);
        wchar_t ch = kReplacement;
        size_t used = 1;
        if (byte < 0x80) {
            ch = byte;
        } else if (byte == 0x80 || byte == 0xFF) {
            MultiByteToWideChar(kCodePage936, 0, text + i, 1, &ch, 1);
        } else if (i + 1 < count && IsTrail(static_cast<unsigned char>(text[i + 1]))) {
            wchar_t pair = 0;
            const bool known =
                MultiByteToWideChar(kCodePage936, MB_ERR_INVALID_CHARS, text + i, 2, &pair, 1) == 1;
            // A pair without a character takes its trail along, unless the trail is a character
            // by itself.
            if (known || static_cast<unsigned char>(text[i + 1]) >= 0x80) {
                ch = known ? pair : kReplacement;
                used = 2;
            }
        }
        if (out != nullptr) {
            if (produced == outChars) {
                errno = E2BIG;
                return 0;
            }
            out[produced] = ch;
        }
        ++produced;
        i += used;
    }
    return produced;
}

std::string EncodeText936(std::wstring_view text) {
    std::string result(ConvertWideTo936(text.data(), text.size(), nullptr, 0), '\0');
    result.resize(ConvertWideTo936(text.data(), text.size(), result.data(), result.size()));
    return result;
}

std::wstring DecodeText936(std::string_view bytes) {
    std::wstring result(Convert936ToWide(bytes.data(), bytes.size(), nullptr, 0), L'\0');
    result.resize(Convert936ToWide(bytes.data(), bytes.size(), result.data(), result.size()));
    return result;
}

std::string WideToUtf8(std::wstring_view text) {
    if (text.empty() || !FitsInt(text.size())) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    std::string result(
        WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, result.data(),
                        static_cast<int>(result.size()), nullptr, nullptr);
    return result;
}

std::wstring Utf8ToWide(std::string_view text) {
    if (text.empty() || !FitsInt(text.size())) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    std::wstring result(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, result.data(),
                        static_cast<int>(result.size()));
    return result;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size() || !FitsInt(a.size())) {
        return false;
    }
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}
