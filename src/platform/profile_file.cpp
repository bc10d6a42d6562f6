// The private-profile reader and writer over CIniDocument, the same on every platform: the
// file is read whole in code page 936, and every write replaces it whole and atomically, under
// the folder's lock so that writers in other processes never work from a stale copy.
#include "platform/profile_file.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "platform/ini_document.h"

namespace platform::detail {

std::mutex& ProfileMutex() {
    static std::mutex mutex;
    return mutex;
}

bool ReadProfileBytes(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return !file.bad();
}

namespace {

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

// Applies one write to the document; whether it changed.
bool Apply(CIniDocument& document, const PROFILE_WRITE& write) {
    return write.key == nullptr     ? document.RemoveSection(write.section)
           : write.value == nullptr ? document.Remove(write.section, write.key)
                                    : document.Set(write.section, write.key, write.value);
}

}  // namespace

BOOL WriteProfileKeys(const PROFILE_WRITE* writes, size_t count, LPCWSTR fileName) {
    if (fileName == nullptr || (writes == nullptr && count > 0)) {
        return FALSE;
    }
    bool createsKey = false;
    for (size_t i = 0; i < count; ++i) {
        if (writes[i].section == nullptr) {
            return FALSE;
        }
        if (!IsWritable(writes[i].section, writes[i].key, writes[i].value)) {
            errno = EINVAL;
            return FALSE;
        }
        createsKey = createsKey || (writes[i].key != nullptr && writes[i].value != nullptr);
    }
    std::lock_guard<std::mutex> lock(ProfileMutex());
    std::filesystem::path path = PathFromWide(fileName);
    // The lock of the folder keeps other processes' read-modify-writes out of this one.
    CFolderLock folderLock(path.parent_path());
    std::string bytes;
    std::error_code error;
    bool exists = std::filesystem::exists(path, error);
    if (exists && !ReadProfileBytes(path, bytes)) {
        return FALSE;  // rewriting a file we cannot read would lose its other keys
    }
    CIniDocument document(bytes);
    bool changed = false;
    for (size_t i = 0; i < count; ++i) {
        changed = Apply(document, writes[i]) || changed;
    }
    if (!changed && (exists || !createsKey)) {
        return TRUE;  // nothing to write; a deletion creates no file
    }
    std::string text = document.Bytes();
    return ReplaceFileAtomically(path, text.data(), text.size());
}

}  // namespace platform::detail

DWORD ReadPrivateProfileString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
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
        // The file is only ever replaced whole, so a read needs no lock of other processes.
        std::lock_guard<std::mutex> lock(platform::detail::ProfileMutex());
        std::string bytes;
        if (platform::detail::ReadProfileBytes(PathFromWide(fileName), bytes)) {
            if (auto value = CIniDocument(bytes).Find(section, key)) {
                result = *value;
            }
        }
    }
    DWORD count = static_cast<DWORD>(std::min<size_t>(result.size(), size - 1));
    std::wmemcpy(buffer, result.data(), count);
    buffer[count] = L'\0';
    return count;
}

BOOL WritePrivateProfileBatch(const PROFILE_WRITE* writes, size_t count, LPCWSTR fileName) {
    return platform::detail::WriteProfileKeys(writes, count, fileName);
}
