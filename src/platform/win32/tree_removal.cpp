// Removing a tree on Windows without entering a junction or a link: MinGW's std::filesystem
// sees through them (it stats with _wstat64), so its remove_all would empty their targets.
#include "platform/win32/tree_removal.h"

#include "platform/files.h"

namespace platform::win32 {
namespace {

DWORD AsListed(const std::wstring&, DWORD listed) {
    return listed;
}

}  // namespace

bool RemoveEntry(const std::wstring& path, DWORD attributes, AttributeView view) {
    attributes = view(path, attributes);
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    // Never on a link: the attribute change could reach its target.
    if (!link && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    }
    if (link || !folder) {
        return (folder ? RemoveDirectoryW(path.c_str()) : DeleteFileW(path.c_str())) != 0;
    }
    bool whole = true;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &entry,
                                   FindExSearchNameMatch, nullptr, 0);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name != L"." && name != L"..") {
                whole = RemoveEntry(path + L"\\" + name, entry.dwFileAttributes, view) && whole;
            }
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return RemoveDirectoryW(path.c_str()) != 0 && whole;
}

}  // namespace platform::win32

namespace {

std::wstring WithoutTrailingSeparators(const std::filesystem::path& path) {
    std::wstring native = path.wstring();
    while (native.size() > 3 && (native.back() == L'\\' || native.back() == L'/')) {
        native.pop_back();
    }
    return native;
}

}  // namespace

bool IsLinkEntry(const std::filesystem::path& path) {
    const DWORD attributes = GetFileAttributesW(WithoutTrailingSeparators(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

BOOL RemoveTreeNoLinks(const std::filesystem::path& path) {
    const std::wstring native = WithoutTrailingSeparators(path);
    const DWORD attributes = GetFileAttributesW(native.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return FALSE;
    }
    return platform::win32::RemoveEntry(native, attributes, platform::win32::AsListed) ? TRUE
                                                                                       : FALSE;
}
