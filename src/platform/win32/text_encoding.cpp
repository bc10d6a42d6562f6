// Code page 936 and UTF-8 through the system's own conversions (wchar_t holds UTF-16 here).
#include "platform/text_encoding.h"

#include <windows.h>

#include <cerrno>
#include <climits>

namespace {

constexpr UINT kCodePage936 = 936;

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
    if (count == 0) {
        return 0;
    }
    if (!FitsInt(count) || (out != nullptr && !FitsInt(outChars))) {
        errno = EINVAL;
        return 0;
    }
    const int needed =
        MultiByteToWideChar(kCodePage936, 0, text, static_cast<int>(count), nullptr, 0);
    if (out == nullptr || needed <= 0) {
        return needed > 0 ? static_cast<size_t>(needed) : 0;
    }
    if (static_cast<size_t>(needed) > outChars) {
        errno = E2BIG;
        return 0;
    }
    return static_cast<size_t>(MultiByteToWideChar(kCodePage936, 0, text, static_cast<int>(count),
                                                   out, static_cast<int>(outChars)));
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
