#include "wide_format.h"

#include <cwchar>
#include <vector>

namespace {

bool IsFlag(wchar_t ch) {
    return ch == L'-' || ch == L'+' || ch == L' ' || ch == L'#' || ch == L'0' || ch == L'\'';
}

bool IsDigit(wchar_t ch) {
    return ch >= L'0' && ch <= L'9';
}

// Copies flags, width and precision of one conversion ("-10.3", "*", ".*") from p to out.
const wchar_t* CopyFlagsWidthPrecision(const wchar_t* p, std::wstring& out) {
    while (IsFlag(*p)) {
        out += *p++;
    }
    while (IsDigit(*p) || *p == L'*') {
        out += *p++;
    }
    if (*p == L'.') {
        out += *p++;
        while (IsDigit(*p) || *p == L'*') {
            out += *p++;
        }
    }
    return p;
}

enum class Width { kNone, kShort, kLong, kWide, kOther };

}  // namespace

std::wstring TranslateWideFormat(const wchar_t* format) {
    std::wstring out;
    const wchar_t* p = format;
    while (*p != L'\0') {
        if (*p != L'%') {
            out += *p++;
            continue;
        }
        out += *p++;
        if (*p == L'%') {
            out += *p++;
            continue;
        }
        p = CopyFlagsWidthPrecision(p, out);
        Width width = Width::kNone;
        std::wstring length;
        if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            length = L"ll";
            p += 3;
        } else if (p[0] == L'I' && p[1] == L'3' && p[2] == L'2') {
            p += 3;
        } else if (p[0] == L'I') {
            length = L"z";  // pointer-sized
            ++p;
        } else if (p[0] == L'w') {
            width = Width::kWide;
            ++p;
        } else {
            while (*p == L'h' || *p == L'l' || *p == L'L' || *p == L'q' || *p == L'j' ||
                   *p == L'z' || *p == L't') {
                length += *p++;
            }
            width = length.empty()   ? Width::kNone
                    : length == L"h" ? Width::kShort
                    : length == L"l" ? Width::kLong
                                     : Width::kOther;
        }
        wchar_t conversion = *p;
        if (conversion == L'\0') {
            out += length;
            break;
        }
        ++p;
        bool text = conversion == L's' || conversion == L'S';
        bool letter = conversion == L'c' || conversion == L'C';
        if (!text && !letter) {
            out += length;
            out += conversion;
            continue;
        }
        // Lower case takes the format's own width (wide), upper case the other one.
        bool wide = width == Width::kLong || width == Width::kWide ||
                    (width == Width::kNone && (conversion == L's' || conversion == L'c'));
        out += wide ? L"l" : L"";
        out += text ? L's' : L'c';
    }
    return out;
}

std::wstring FormatWideText(const wchar_t* format, va_list args) {
    if (format == nullptr) {
        return {};
    }
    std::wstring translated = TranslateWideFormat(format);
    constexpr size_t kMaxChars = 1 << 20;
    std::vector<wchar_t> buffer(512);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = std::vswprintf(buffer.data(), buffer.size(), translated.c_str(), copy);
        va_end(copy);
        if (n >= 0) {
            return std::wstring(buffer.data(), static_cast<size_t>(n));
        }
        // vswprintf answers -1 both for a short buffer and for a bad format.
        if (buffer.size() >= kMaxChars) {
            return L"(line could not be formatted)";
        }
        buffer.resize(buffer.size() * 4);
    }
}
