// Private-profile functions over CIniDocument: the file is read whole, and every write
// replaces it whole and atomically.
#include "platform/private_profile.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <fstream>
#include <mutex>
#include <string>

#include "ini_document.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

namespace {

// Read-modify-write of one file must not interleave with another writer in this process.
std::mutex& ProfileMutex() {
    static std::mutex mutex;
    return mutex;
}

bool ReadDocumentText(const std::filesystem::path& path, std::wstring& text) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    text = DecodeText936(bytes);
    return true;
}

bool BreaksLines(std::wstring_view text) {
    return text.find_first_of(L"\r\n") != std::wstring_view::npos;
}

bool IsWritable(LPCWSTR section, LPCWSTR key, LPCWSTR value) {
    std::wstring_view sectionText(section);
    if (BreaksLines(sectionText) || sectionText.find(L']') != std::wstring_view::npos) {
        return false;
    }
    if (key != nullptr) {
        std::wstring_view keyText(key);
        size_t first = keyText.find_first_not_of(L" \t");
        if (first == std::wstring_view::npos || keyText[first] == L'[' || BreaksLines(keyText) ||
            keyText.find(L'=') != std::wstring_view::npos) {
            return false;
        }
    }
    return value == nullptr || !BreaksLines(value);
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD size, LPCWSTR fileName) {
    if (buffer == nullptr || size == 0) {
        return 0;
    }
    buffer[0] = L'\0';
    if (section == nullptr || key == nullptr || fileName == nullptr) {
        return 0;
    }
    std::wstring result = defaultValue != nullptr ? std::wstring(defaultValue) : std::wstring();
    {
        std::lock_guard<std::mutex> lock(ProfileMutex());
        std::wstring text;
        if (ReadDocumentText(PathFromWide(fileName), text)) {
            if (auto value = CIniDocument(text).Find(section, key)) {
                result = *value;
            }
        }
    }
    DWORD count = static_cast<DWORD>(std::min<size_t>(result.size(), size - 1));
    std::wmemcpy(buffer, result.data(), count);
    buffer[count] = L'\0';
    return count;
}

BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName) {
    if (section == nullptr || fileName == nullptr) {
        return FALSE;
    }
    if (!IsWritable(section, key, value)) {
        errno = EINVAL;
        return FALSE;
    }
    std::lock_guard<std::mutex> lock(ProfileMutex());
    std::filesystem::path path = PathFromWide(fileName);
    std::wstring text;
    std::error_code error;
    bool exists = std::filesystem::exists(path, error);
    if (exists && !ReadDocumentText(path, text)) {
        return FALSE;  // rewriting a file we cannot read would lose its other keys
    }
    CIniDocument document(text);
    bool changed = key == nullptr     ? document.RemoveSection(section)
                   : value == nullptr ? document.Remove(section, key)
                                      : document.Set(section, key, value);
    if (!changed && (exists || value == nullptr)) {
        return TRUE;  // nothing to write; a deletion creates no file
    }
    std::string bytes = EncodeText936(document.Text());
    return ReplaceFileAtomically(path, bytes.data(), bytes.size());
}
