// Code page 936 through iconv; UTF-8 by hand (wchar_t holds UTF-32 here).
#include "platform/text_encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwctype>

namespace {

constexpr const char* kCodePage936 = "CP936";
constexpr const char* kWide = "WCHAR_T";

class CIconv {
public:
    CIconv(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~CIconv() {
        if (IsOpen()) {
            iconv_close(m_cd);
        }
    }
    CIconv(const CIconv&) = delete;
    CIconv& operator=(const CIconv&) = delete;
    bool IsOpen() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

private:
    iconv_t m_cd;
};

// Converts the whole input into out (or only counts when out is null). Input without a form in
// the target becomes the replacement, as the original platform's conversions do without flags.
// Returns the bytes produced, or 0 with errno set.
size_t Convert(const char* to, const char* from, const char* in, size_t inBytes, char* out,
               size_t outBytes, size_t inUnit, std::string_view replacement) {
    if (inBytes == 0) {
        return 0;
    }
    CIconv cd(to, from);
    if (!cd.IsOpen()) {
        errno = EINVAL;
        return 0;
    }
    char* src = const_cast<char*>(in);
    size_t srcLeft = inBytes;
    size_t produced = 0;
    char scratch[256];
    auto room = [&] { return out != nullptr ? outBytes - produced : sizeof(scratch); };
    auto place = [&] { return out != nullptr ? out + produced : scratch; };
    while (srcLeft > 0) {
        char* dst = place();
        size_t left = room();
        size_t before = left;
        size_t rc = iconv(cd.get(), &src, &srcLeft, &dst, &left);
        produced += before - left;
        if (rc != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            if (out != nullptr) {
                return 0;
            }
            continue;
        }
        if (errno != EILSEQ && errno != EINVAL) {
            return 0;
        }
        // A unit without a form (or a sequence cut at the end): replace it and go on.
        if (room() < replacement.size()) {
            if (out != nullptr) {
                errno = E2BIG;
                return 0;
            }
        } else {
            std::memcpy(place(), replacement.data(), replacement.size());
        }
        produced += replacement.size();
        size_t skip = std::min(inUnit, srcLeft);
        src += skip;
        srcLeft -= skip;
    }
    return produced;
}

const wchar_t kReplacementChar = L'\xFFFD';

}  // namespace

size_t ConvertWideTo936(const wchar_t* text, size_t count, char* out, size_t outBytes) {
    return Convert(kCodePage936, kWide, reinterpret_cast<const char*>(text),
                   count * sizeof(wchar_t), out, outBytes, sizeof(wchar_t), "?");
}

size_t Convert936ToWide(const char* text, size_t count, wchar_t* out, size_t outChars) {
    std::string_view replacement(reinterpret_cast<const char*>(&kReplacementChar),
                                 sizeof(kReplacementChar));
    size_t bytes = Convert(kWide, kCodePage936, text, count, reinterpret_cast<char*>(out),
                           outChars * sizeof(wchar_t), 1, replacement);
    return bytes / sizeof(wchar_t);
}

std::string EncodeText936(std::wstring_view text) {
    std::string result(text.size() * 2, '\0');
    result.resize(ConvertWideTo936(text.data(), text.size(), result.data(), result.size()));
    return result;
}

std::wstring DecodeText936(std::string_view bytes) {
    std::wstring result(bytes.size(), L'\0');
    result.resize(Convert936ToWide(bytes.data(), bytes.size(), result.data(), result.size()));
    return result;
}

std::string WideToUtf8(std::wstring_view text) {
    std::string result;
    result.reserve(text.size());
    for (wchar_t wc : text) {
        char32_t c = static_cast<char32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            result.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (c >> 6)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (c >> 12)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (c >> 18)));
            result.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return result;
}

std::wstring Utf8ToWide(std::string_view text) {
    std::wstring result;
    result.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        size_t extra = b < 0x80           ? 0
                       : (b >> 5) == 0x6  ? 1
                       : (b >> 4) == 0xE  ? 2
                       : (b >> 3) == 0x1E ? 3
                                          : 4;
        char32_t c = extra == 0   ? b
                     : extra == 1 ? (b & 0x1F)
                     : extra == 2 ? (b & 0x0F)
                                  : (b & 0x07);
        bool valid = false;
        if (extra < 4 && i + extra < text.size()) {
            valid = true;
            for (size_t k = 1; k <= extra; ++k) {
                unsigned char cont = static_cast<unsigned char>(text[i + k]);
                if ((cont & 0xC0) != 0x80) {
                    valid = false;
                    break;
                }
                c = (c << 6) | (cont & 0x3F);
            }
            // Overlong forms and surrogates are not text.
            static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
            if (valid && (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))) {
                valid = false;
            }
        }
        if (valid) {
            result.push_back(static_cast<wchar_t>(c));
            i += extra + 1;
        } else {
            result.push_back(L'\xFFFD');
            ++i;
        }
    }
    return result;
}

bool EqualsIgnoringCase(std::wstring_view a, std::wstring_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(static_cast<wint_t>(a[i])) != std::towlower(static_cast<wint_t>(b[i]))) {
            return false;
        }
    }
    return true;
}
