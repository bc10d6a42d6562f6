#include "platform/script_call_codec.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace platform {
namespace {

// Stores one code point as wide characters: one on UTF-32 platforms, a pair beyond the BMP
// where wchar_t is UTF-16. Lone surrogates are kept as they are.
void AppendCodePoint(std::wstring& out, uint32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}

}  // namespace

class CJsonReader {
public:
    explicit CJsonReader(std::string_view text) : m_text(text) {}

    void SkipBlanks() {
        while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t' ||
                                         m_text[m_pos] == '\n' || m_text[m_pos] == '\r')) {
            ++m_pos;
        }
    }
    char Peek() {
        SkipBlanks();
        return m_pos < m_text.size() ? m_text[m_pos] : '\0';
    }
    bool Take(char c) {
        if (Peek() != c) {
            return false;
        }
        ++m_pos;
        return true;
    }
    bool AtEnd() {
        SkipBlanks();
        return m_pos == m_text.size();
    }
    bool TakeWord(std::string_view word) {
        SkipBlanks();
        if (m_text.substr(m_pos, word.size()) != word) {
            return false;
        }
        m_pos += word.size();
        return true;
    }

    bool ReadString(std::wstring* out) {
        if (!Take('"')) {
            return false;
        }
        out->clear();
        while (m_pos < m_text.size()) {
            unsigned char c = static_cast<unsigned char>(m_text[m_pos++]);
            if (c == '"') {
                return true;
            }
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                if (!ReadEscape(out)) {
                    return false;
                }
            } else if (c < 0x80) {
                out->push_back(static_cast<wchar_t>(c));
            } else if (!ReadUtf8(c, out)) {
                return false;
            }
        }
        return false;
    }

    // A JSON number; integral texts within 32 bits become VT_I4, the rest VT_R8.
    bool ReadNumber(VARIANT* out) {
        SkipBlanks();
        size_t start = m_pos;
        bool integral = true;
        if (m_pos < m_text.size() && m_text[m_pos] == '-') {
            ++m_pos;
        }
        size_t digits = m_pos;
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos];
            if (c >= '0' && c <= '9') {
                ++m_pos;
            } else if (c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-') {
                integral = false;
                ++m_pos;
            } else {
                break;
            }
        }
        if (m_pos == digits) {
            return false;
        }
        std::string number(m_text.substr(start, m_pos - start));
        char* end = nullptr;
        double value = std::strtod(number.c_str(), &end);
        if (end != number.c_str() + number.size()) {
            return false;
        }
        VariantInit(out);
        if (integral && value >= std::numeric_limits<LONG>::min() &&
            value <= std::numeric_limits<LONG>::max()) {
            out->vt = VT_I4;
            out->lVal = static_cast<LONG>(value);
        } else {
            out->vt = VT_R8;
            out->dblVal = value;
        }
        return true;
    }

    // Skips any JSON value; depth bounds nesting so hostile text cannot exhaust the stack.
    bool SkipValue(int depth = 0) {
        if (depth > 64) {
            return false;
        }
        char c = Peek();
        std::wstring ignored;
        VARIANT number;
        switch (c) {
            case '"':
                return ReadString(&ignored);
            case 't':
                return TakeWord("true");
            case 'f':
                return TakeWord("false");
            case 'n':
                return TakeWord("null");
            case '[':
            case '{': {
                char close = c == '[' ? ']' : '}';
                ++m_pos;
                if (Take(close)) {
                    return true;
                }
                do {
                    if (c == '{' && (!ReadString(&ignored) || !Take(':'))) {
                        return false;
                    }
                    if (!SkipValue(depth + 1)) {
                        return false;
                    }
                } while (Take(','));
                return Take(close);
            }
            default:
                return ReadNumber(&number);
        }
    }

private:
    bool ReadHex4(uint32_t* out) {
        if (m_pos + 4 > m_text.size()) {
            return false;
        }
        uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_text[m_pos++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= c - '0';
            } else if (c >= 'a' && c <= 'f') {
                value |= c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                value |= c - 'A' + 10;
            } else {
                return false;
            }
        }
        *out = value;
        return true;
    }

    bool ReadEscape(std::wstring* out) {
        if (m_pos >= m_text.size()) {
            return false;
        }
        char c = m_text[m_pos++];
        switch (c) {
            case '"':
            case '\\':
            case '/':
                out->push_back(static_cast<wchar_t>(c));
                return true;
            case 'b':
                out->push_back(L'\b');
                return true;
            case 'f':
                out->push_back(L'\f');
                return true;
            case 'n':
                out->push_back(L'\n');
                return true;
            case 'r':
                out->push_back(L'\r');
                return true;
            case 't':
                out->push_back(L'\t');
                return true;
            case 'u':
                break;
            default:
                return false;
        }
        uint32_t unit = 0;
        if (!ReadHex4(&unit)) {
            return false;
        }
        // A high surrogate followed by an escaped low one is one character; anything else
        // stays a lone surrogate, as the script had it.
        if (unit >= 0xD800 && unit <= 0xDBFF && m_text.substr(m_pos, 2) == "\\u") {
            size_t save = m_pos;
            m_pos += 2;
            uint32_t low = 0;
            if (ReadHex4(&low) && low >= 0xDC00 && low <= 0xDFFF) {
                AppendCodePoint(*out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                return true;
            }
            m_pos = save;
        }
        AppendCodePoint(*out, unit);
        return true;
    }

    bool ReadUtf8(unsigned char lead, std::wstring* out) {
        int extra = 0;
        uint32_t cp = 0;
        if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (m_pos + extra > m_text.size()) {
            return false;
        }
        for (int i = 0; i < extra; ++i) {
            unsigned char c = static_cast<unsigned char>(m_text[m_pos++]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        static const uint32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        // Surrogates have no UTF-8 form of their own: a script's lone surrogate arrives as an
        // escape, never as the bytes ED A0 80 .. ED BF BF.
        if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        AppendCodePoint(*out, cp);
        return true;
    }

    std::string_view m_text;
    size_t m_pos = 0;
};

namespace {

// One argument: E_FAIL for text that is not JSON, DISP_E_TYPEMISMATCH for a value of a
// type the bridge does not hand over.
HRESULT ReadArgument(CJsonReader& reader, VARIANT* out) {
    VariantInit(out);
    char c = reader.Peek();
    if (c == '"') {
        std::wstring text;
        if (!reader.ReadString(&text)) {
            return E_FAIL;
        }
        out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (out->bstrVal == nullptr) {
            return E_OUTOFMEMORY;
        }
        out->vt = VT_BSTR;
        return S_OK;
    }
    if (reader.TakeWord("true") || reader.TakeWord("false")) {
        out->vt = VT_BOOL;
        out->boolVal = c == 't' ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    if (reader.TakeWord("null")) {
        return S_OK;
    }
    if (c == '{') {
        // {"n": "NaN"} and its kin carry the numbers JSON has no text for.
        CJsonReader probe = reader;
        std::wstring key, value;
        if (probe.Take('{') && probe.ReadString(&key) && key == L"n" && probe.Take(':') &&
            probe.ReadString(&value) && probe.Take('}')) {
            double number = 0;
            if (value == L"NaN") {
                number = std::numeric_limits<double>::quiet_NaN();
            } else if (value == L"Infinity") {
                number = std::numeric_limits<double>::infinity();
            } else if (value == L"-Infinity") {
                number = -std::numeric_limits<double>::infinity();
            } else {
                return DISP_E_TYPEMISMATCH;
            }
            reader = probe;
            out->vt = VT_R8;
            out->dblVal = number;
            return S_OK;
        }
        return reader.SkipValue() ? DISP_E_TYPEMISMATCH : E_FAIL;
    }
    if (c == '[') {
        return reader.SkipValue() ? DISP_E_TYPEMISMATCH : E_FAIL;
    }
    return reader.ReadNumber(out) ? S_OK : E_FAIL;
}

void AppendEscapedUnit(std::string& out, uint32_t unit) {
    char buffer[8];
    std::snprintf(buffer, sizeof(buffer), "\\u%04x", unit);
    out += buffer;
}

void AppendJsonString(std::string& out, const wchar_t* text, size_t length) {
    out.push_back('"');
    for (size_t i = 0; i < length; ++i) {
        uint32_t c = static_cast<uint32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            c &= 0xFFFF;
        }
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else if (c > 0xFFFF) {
            // Beyond the BMP: the script's UTF-16 pair. Values past Unicode become U+FFFD.
            if (c > 0x10FFFF) {
                AppendEscapedUnit(out, 0xFFFD);
                continue;
            }
            c -= 0x10000;
            AppendEscapedUnit(out, 0xD800 + (c >> 10));
            AppendEscapedUnit(out, 0xDC00 + (c & 0x3FF));
        } else {
            AppendEscapedUnit(out, c);
        }
    }
    out.push_back('"');
}

void AppendNumber(std::string& out, double value) {
    if (std::isnan(value)) {
        out += "{\"n\":\"NaN\"}";
    } else if (std::isinf(value)) {
        out += value > 0 ? "{\"n\":\"Infinity\"}" : "{\"n\":\"-Infinity\"}";
    } else {
        char buffer[32];
        std::snprintf(buffer, sizeof(buffer), "%.17g", value);
        out += buffer;
    }
}

// False for values the script has no form for; the answer then carries no value.
bool AppendValue(std::string& out, const VARIANT& value) {
    char buffer[32];
    switch (value.vt) {
        case VT_BSTR:
            AppendJsonString(out, value.bstrVal != nullptr ? value.bstrVal : L"",
                             SysStringLen(value.bstrVal));
            return true;
        case VT_BOOL:
            out += value.boolVal != 0 ? "true" : "false";
            return true;
        case VT_I4:
        case VT_INT:
            std::snprintf(buffer, sizeof(buffer), "%d", static_cast<int>(value.lVal));
            out += buffer;
            return true;
        case VT_UI4:
        case VT_UINT:
            std::snprintf(buffer, sizeof(buffer), "%u", static_cast<unsigned>(value.uintVal));
            out += buffer;
            return true;
        case VT_I2:
            std::snprintf(buffer, sizeof(buffer), "%d", static_cast<int>(value.iVal));
            out += buffer;
            return true;
        case VT_I8:
            AppendNumber(out, static_cast<double>(value.llVal));
            return true;
        case VT_R8:
            AppendNumber(out, value.dblVal);
            return true;
        case VT_R4:
            AppendNumber(out, value.fltVal);
            return true;
        case VT_NULL:
            out += "null";
            return true;
        default:
            return false;
    }
}

}  // namespace

CScriptRequest::~CScriptRequest() {
    for (VARIANT& arg : m_args) {
        VariantClear(&arg);
    }
}

HRESULT CScriptRequest::Decode(std::string_view text) {
    if (text.size() > kMaxScriptRequestBytes) {
        return E_FAIL;
    }
    CJsonReader reader(text);
    std::wstring kind;
    if (!reader.Take('[') || !reader.ReadString(&kind) || !reader.Take(',')) {
        return E_FAIL;
    }
    if (kind == L"l") {
        m_nKind = kLookUp;
    } else if (kind == L"c") {
        m_nKind = kCall;
    } else if (kind == L"d") {
        m_nKind = kFrameLoaded;
    } else if (kind == L"s") {
        m_nKind = kPageSize;
    } else {
        return E_FAIL;
    }
    if (reader.Peek() != '"') {
        return reader.SkipValue() ? DISP_E_TYPEMISMATCH : E_FAIL;
    }
    if (!reader.ReadString(&m_strName)) {
        return E_FAIL;
    }
    if (m_nKind == kFrameLoaded) {
        m_strFrameUrl = m_strName;
        return reader.Take(']') && reader.AtEnd() ? S_OK : E_FAIL;
    }
    if (m_nKind == kPageSize) {
        if (!reader.Take(',') || !reader.ReadString(&m_strHeight)) {
            return E_FAIL;
        }
    }
    if (m_nKind == kCall) {
        HRESULT hr = DecodeCall(reader);
        if (FAILED(hr)) {
            return hr;
        }
    }
    if (!reader.Take(',') || !reader.ReadString(&m_strFrameUrl) || !reader.Take(']') ||
        !reader.AtEnd()) {
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CScriptRequest::DecodeCall(CJsonReader& reader) {
    VARIANT flags;
    if (!reader.Take(',') || !reader.ReadNumber(&flags)) {
        return E_FAIL;
    }
    if (flags.vt != VT_I4 ||
        (flags.lVal != DISPATCH_METHOD && flags.lVal != DISPATCH_PROPERTYGET)) {
        return E_FAIL;
    }
    m_wFlags = static_cast<WORD>(flags.lVal);
    if (!reader.Take(',') || !reader.Take('[')) {
        return E_FAIL;
    }
    if (reader.Take(']')) {
        return S_OK;
    }
    do {
        // Counted before the value is read, so a flood of arguments costs nothing.
        if (m_args.size() == kMaxScriptArguments) {
            return DISP_E_BADPARAMCOUNT;
        }
        VARIANT arg;
        HRESULT hr = ReadArgument(reader, &arg);
        if (FAILED(hr)) {
            VariantClear(&arg);
            return hr;
        }
        m_args.push_back(arg);
    } while (reader.Take(','));
    return reader.Take(']') ? S_OK : E_FAIL;
}

std::string EncodeScriptAnswer(HRESULT hr, const VARIANT* value) {
    std::string out = "{\"h\":" + std::to_string(hr);
    if (value != nullptr && value->vt != VT_EMPTY) {
        std::string encoded;
        if (AppendValue(encoded, *value)) {
            out += ",\"v\":" + encoded;
        }
    }
    out += "}";
    return out;
}

}  // namespace platform
