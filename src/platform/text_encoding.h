// Text encodings the system needs from the platform: code page 936 for narrow text on disk, and
// UTF-8 for the names and files of the desktop around it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Converts count wide characters (a terminator among them is converted like any other) to code
// page 936; a character without a form becomes '?', as the original platform's conversion does
// without flags. With a null out it answers the bytes needed. Returns the bytes written, or 0
// with errno set (E2BIG when out is too small).
size_t ConvertWideTo936(const wchar_t* text, size_t count, char* out, size_t outBytes);
// The same from code page 936 bytes to wide characters; an invalid byte becomes U+FFFD.
size_t Convert936ToWide(const char* text, size_t count, wchar_t* out, size_t outChars);

// Whole-text forms of the two.
std::string EncodeText936(std::wstring_view text);
std::wstring DecodeText936(std::string_view bytes);

std::string WideToUtf8(std::wstring_view text);
// Invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);

// The text's length in UTF-16 code units, as Windows counts it, on every platform: limits on
// what pages store then hold alike wherever wchar_t is 32 bits.
inline size_t Utf16Length(std::wstring_view text) {
    size_t units = text.size();
    if constexpr (sizeof(wchar_t) > 2) {
        for (const wchar_t ch : text) {
            units += static_cast<uint32_t>(ch) > 0xFFFF ? 1 : 0;
        }
    }
    return units;
}

// Equal without regard to letter case, as the platform compares names.
bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b);
