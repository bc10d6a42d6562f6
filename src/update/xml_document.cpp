#include "update/xml_document.h"

#include <cerrno>
#include <climits>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "app/helpers.h"
#include "platform/files.h"
#include "update/update_files.h"

namespace {

// The encoding named in the XML declaration at the start of the bytes, lower case.
std::string DeclaredEncoding(const std::string& bytes) {
    if (bytes.compare(0, 5, "<?xml") != 0) {
        return {};
    }
    const size_t end = bytes.find("?>");
    const size_t key = bytes.find("encoding", 0);
    if (end == std::string::npos || key == std::string::npos || key > end) {
        return {};
    }
    size_t open = bytes.find_first_of("\"'", key);
    if (open == std::string::npos || open > end) {
        return {};
    }
    const size_t close = bytes.find(bytes[open], open + 1);
    if (close == std::string::npos || close > end) {
        return {};
    }
    std::string name = bytes.substr(open + 1, close - open - 1);
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

bool IsCodePage936(const std::string& encoding) {
    return encoding == "gb2312" || encoding == "gbk" || encoding == "gb18030" ||
           encoding == "cp936" || encoding == "windows-936";
}

}  // namespace

HRESULT LoadXmlDocument(const std::wstring& path, platform::CXmlDocument& document) {
    document.Reset();
    std::string bytes;
    if (!ReadWholeFile(path, kMaxManifestBytes, bytes)) {
        return E_FAIL;
    }
    return LoadXmlBytes(bytes, document);
}

HRESULT LoadXmlBytes(const std::string& bytes, platform::CXmlDocument& document) {
    document.Reset();
    if (bytes.size() > kMaxManifestBytes) {
        return E_FAIL;
    }
    bool loaded = false;
    if (IsCodePage936(DeclaredEncoding(bytes))) {
        try {
            CWideText wide = ToWide936(bytes.c_str());
            loaded = document.LoadText(std::wstring_view(wide.c_str(), wide.size()));
        } catch (const HResultError&) {
            return E_FAIL;
        }
    } else {
        loaded = document.Load(bytes.data(), bytes.size());
    }
    if (!loaded || document.GetDepth() > kMaxManifestDepth) {
        document.Reset();
        return E_FAIL;
    }
    return S_OK;
}

std::wstring GetDomText(const platform::CXmlNode& node) {
    return node ? node.Text() : std::wstring();
}

BOOL GetNodeText(const platform::CXmlNode& node, const char* name, std::wstring& text) {
    text.clear();
    const platform::CXmlNode child = node ? node.SelectSingle(name) : platform::CXmlNode();
    if (!child) {
        return FALSE;
    }
    text = child.Text();
    return TRUE;
}

LONGLONG ParseInt64(const std::wstring& text) {
    const wchar_t* p = text.c_str();
    while (std::iswspace(static_cast<wint_t>(*p))) {
        ++p;
    }
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }
    unsigned long long value = 0;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(LLONG_MAX) + 1 : LLONG_MAX;
    bool overflow = false;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        const unsigned digit = static_cast<unsigned>(*p - L'0');
        if (value > (limit - digit) / 10) {
            overflow = true;
            continue;
        }
        value = value * 10 + digit;
    }
    if (overflow) {
        return negative ? LLONG_MIN : LLONG_MAX;
    }
    return negative ? static_cast<LONGLONG>(0 - value) : static_cast<LONGLONG>(value);
}
