// The client id in guid.dat: made once per user, then read back on every call.
#include "app/client_id.h"

#include <fstream>
#include <string>
#include <vector>

#include "app/environment.h"
#include "app/helpers.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

namespace {

constexpr size_t kMaxIdChars = 62;

enum class ReadResult { kText, kEmpty, kFailed };

// The first line of the file, up to 62 characters, its line end kept; a missing file is empty.
ReadResult ReadFirstLine(const std::filesystem::path& path, std::string& line) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return error ? ReadResult::kFailed : ReadResult::kEmpty;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return ReadResult::kFailed;
    }
    char buffer[kMaxIdChars + 1] = {};
    file.get(buffer, sizeof(buffer), '\n');
    size_t count = static_cast<size_t>(file.gcount());
    if (count < kMaxIdChars && file.peek() == '\n') {
        buffer[count] = '\n';  // the line end is part of the id, as the C runtime reads it
    }
    if (file.bad()) {
        return ReadResult::kFailed;
    }
    line = buffer;  // up to the first NUL, as a C string
    return line.empty() ? ReadResult::kEmpty : ReadResult::kText;
}

}  // namespace

wchar_t ClientIdCheckDigit(std::wstring_view digits) {
    unsigned sum = 0;
    for (wchar_t ch : digits) {
        sum += static_cast<unsigned>(ch);
    }
    return L"0123456789abcdef"[sum % 16];
}

std::wstring MakeClientId(const GUID& guid) {
    wchar_t text[39];
    StringFromGUID2(guid, text, 39);
    // The digest is over UTF-16LE whatever the width of wchar_t here.
    std::vector<unsigned char> bytes;
    for (size_t i = 0; i < 38; ++i) {
        auto unit = static_cast<uint16_t>(text[i]);
        bytes.push_back(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(static_cast<unsigned char>(unit >> 8));
    }
    std::wstring id = MD5OfBuffer(bytes.data(), bytes.size()).substr(0, 16);
    if (id.size() != 16) {
        return {};
    }
    return id + ClientIdCheckDigit(id);
}

std::wstring GetClientId() {
    std::wstring folder = GetSharedDataDir();
    if (folder.empty() || (folder.back() != L'/' && folder.back() != L'\\')) {
        folder += kPathSeparator;
    }
    std::filesystem::path path = PathFromWide(folder + L"guid.dat");
    // Two processes starting at once must store one id: the read and the first write happen
    // under the folder's lock, and the write replaces the file whole.
    CFolderLock lock(path.parent_path());
    std::string line;
    switch (ReadFirstLine(path, line)) {
        case ReadResult::kText:
            return DecodeText936(line);
        case ReadResult::kFailed:
            return L"null";
        case ReadResult::kEmpty:
            break;
    }
    GUID guid{};
    if (FAILED(CoCreateGuid(&guid))) {
        return L"null";
    }
    std::wstring id = MakeClientId(guid);
    std::string narrow(id.begin(), id.end());  // hexadecimal digits only
    if (id.empty() || !ReplaceFileAtomically(path, narrow.data(), narrow.size())) {
        return L"null";
    }
    return id;
}
