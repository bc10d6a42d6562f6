// Code page 936 from tables built once with iconv; UTF-8 by hand (wchar_t holds UTF-32 here).
#include "platform/text_encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <cwctype>
#include <vector>

namespace {

// Code page 936 as the original platform's table has it: GBK (iconv's CP936 agrees on every
// assigned two-byte code), 0x80 for the euro sign, 0xFF for U+F8F5, and the user-defined areas
// mapped in order onto the private-use area U+E000 to U+E765.
constexpr char32_t kReplacement = 0xFFFD;
constexpr unsigned char kFirstLead = 0x81;
constexpr size_t kTrailCount = 191;  // 0x40 to 0xFE, 0x7F included (never valid)
constexpr char32_t kUserDefinedFirst = 0xE000;

bool IsTrail(unsigned char b) {
    return b >= 0x40 && b <= 0xFE && b != 0x7F;
}

// A byte that is a character by itself.
bool IsSingle(unsigned char b) {
    return b < 0x80 || b == 0x80 || b == 0xFF;
}

// The user-defined areas in the order the private-use area follows them: 0xAAA1-0xAFFE,
// 0xF8A1-0xFEFE (trails 0xA1-0xFE), then 0xA140-0xA7A0 (trails 0x40-0xA0 without 0x7F).
struct UserDefinedArea {
    unsigned char firstLead, lastLead, firstTrail, lastTrail;
};
constexpr UserDefinedArea kUserDefinedAreas[] = {
    {0xAA, 0xAF, 0xA1, 0xFE}, {0xF8, 0xFE, 0xA1, 0xFE}, {0xA1, 0xA7, 0x40, 0xA0}};

size_t TrailsIn(const UserDefinedArea& area) {
    size_t count = area.lastTrail - area.firstTrail + 1u;
    return area.firstTrail <= 0x7F && area.lastTrail >= 0x7F ? count - 1 : count;
}

size_t TrailIndex(const UserDefinedArea& area, unsigned char trail) {
    size_t index = trail - area.firstTrail;
    return trail > 0x7F && area.firstTrail <= 0x7F ? index - 1 : index;
}

char32_t UserDefinedChar(unsigned char lead, unsigned char trail) {
    char32_t base = kUserDefinedFirst;
    for (const UserDefinedArea& area : kUserDefinedAreas) {
        size_t trails = TrailsIn(area);
        if (lead >= area.firstLead && lead <= area.lastLead && trail >= area.firstTrail &&
            trail <= area.lastTrail) {
            return base + static_cast<char32_t>((lead - area.firstLead) * trails +
                                                TrailIndex(area, trail));
        }
        base += static_cast<char32_t>((area.lastLead - area.firstLead + 1u) * trails);
    }
    return 0;
}

class CCodePage936 {
public:
    static const CCodePage936& Get() {
        static const CCodePage936 table;
        return table;
    }

    // The character of a lead and trail byte, or 0 when the pair has none.
    char32_t Decode(unsigned char lead, unsigned char trail) const {
        return m_decode[(lead - kFirstLead) * kTrailCount + (trail - 0x40u)];
    }
    // The bytes of a character (one byte when below 0x100), or 0 when it has none.
    uint16_t Encode(char32_t ch) const { return ch < m_encode.size() ? m_encode[ch] : 0; }

private:
    CCodePage936() : m_decode(126 * kTrailCount, 0), m_encode(0x10000, 0) {
        iconv_t cd = iconv_open("UTF-32LE", "CP936");
        for (unsigned lead = kFirstLead; lead <= 0xFE; ++lead) {
            for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
                if (!IsTrail(static_cast<unsigned char>(trail))) {
                    continue;
                }
                char32_t ch = UserDefinedChar(static_cast<unsigned char>(lead),
                                              static_cast<unsigned char>(trail));
                if (ch == 0 && cd != reinterpret_cast<iconv_t>(-1)) {
                    ch = DecodeWithIconv(cd, lead, trail);
                }
                if (ch != 0) {
                    m_decode[(lead - kFirstLead) * kTrailCount + (trail - 0x40)] = ch;
                    if (ch < m_encode.size() && m_encode[ch] == 0) {
                        m_encode[ch] = static_cast<uint16_t>(lead << 8 | trail);
                    }
                }
            }
        }
        if (cd != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(cd);
        }
        for (unsigned ch = 1; ch < 0x80; ++ch) {
            m_encode[ch] = static_cast<uint16_t>(ch);
        }
        m_encode[0x20AC] = 0x80;
        m_encode[0xF8F5] = 0xFF;
    }

    static char32_t DecodeWithIconv(iconv_t cd, unsigned lead, unsigned trail) {
        char in[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        unsigned char out[8] = {};
        char* src = in;
        char* dst = reinterpret_cast<char*>(out);
        size_t srcLeft = 2, dstLeft = sizeof(out);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &src, &srcLeft, &dst, &dstLeft) == static_cast<size_t>(-1) ||
            dstLeft != sizeof(out) - 4) {
            return 0;
        }
        return static_cast<char32_t>(out[0] | out[1] << 8 | out[2] << 16 | out[3] << 24);
    }

    std::vector<char32_t> m_decode;
    std::vector<uint16_t> m_encode;  // the Basic Multilingual Plane; the code page has no more
};

}  // namespace

size_t ConvertWideTo936(const wchar_t* text, size_t count, char* out, size_t outBytes) {
    const CCodePage936& table = CCodePage936::Get();
    size_t produced = 0;
    for (size_t i = 0; i < count; ++i) {
        char32_t ch = static_cast<char32_t>(text[i]);
        // A character without a form becomes '?', as the original's conversion without flags.
        uint16_t code = ch == 0 ? 0 : table.Encode(ch);
        if (ch != 0 && code == 0) {
            code = '?';
        }
        size_t size = code > 0xFF ? 2 : 1;
        if (out != nullptr) {
            if (outBytes - produced < size) {
                errno = E2BIG;
                return 0;
            }
            if (size == 2) {
                out[produced] = static_cast<char>(code >> 8);
            }
            out[produced + size - 1] = static_cast<char>(code & 0xFF);
        }
        produced += size;
    }
    return produced;
}

size_t Convert936ToWide(const char* text, size_t count, wchar_t* out, size_t outChars) {
    const CCodePage936& table = CCodePage936::Get();
    size_t produced = 0;
    size_t i = 0;
    while (i < count) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        char32_t ch = kReplacement;
        size_t used = 1;
        if (b < 0x80) {
            ch = b;
        } else if (b == 0x80) {
            ch = 0x20AC;
        } else if (b == 0xFF) {
            ch = 0xF8F5;
        } else if (i + 1 < count && IsTrail(static_cast<unsigned char>(text[i + 1]))) {
            unsigned char trail = static_cast<unsigned char>(text[i + 1]);
            char32_t pair = table.Decode(b, trail);
            // A pair without a character takes its trail along, unless the trail is a character
            // by itself: that one is never lost.
            if (pair != 0 || !IsSingle(trail)) {
                ch = pair != 0 ? pair : kReplacement;
                used = 2;
            }
        }
        if (out != nullptr) {
            if (produced == outChars) {
                errno = E2BIG;
                return 0;
            }
            out[produced] = static_cast<wchar_t>(ch);
        }
        ++produced;
        i += used;
    }
    return produced;
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
