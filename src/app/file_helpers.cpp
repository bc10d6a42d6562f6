// Whole-file text, directory creation and removal, file names from URLs.
#include <cstring>
#include <fstream>
#include <system_error>

#include "app/helpers.h"
#include "platform/files.h"

namespace fs = std::filesystem;

std::wstring ReadTextFile(const wchar_t* path) {
    if (path == nullptr) {
        return {};
    }
    fs::path native = PathFromWide(path);
    std::error_code error;
    if (!fs::is_regular_file(native, error)) {
        return {};
    }
    std::ifstream file(native, std::ios::binary);
    if (!file) {
        return {};
    }
    uintmax_t size = fs::file_size(native, error);
    if (error || size == 0) {
        return {};
    }
    std::string bytes(static_cast<size_t>(size), '\0');
    file.read(bytes.data(), static_cast<std::streamsize>(size));
    // A file that shrank meanwhile gives what was there.
    bytes.resize(static_cast<size_t>(file.gcount()));
    CWideText text = ToWide936(bytes.c_str());
    return std::wstring(text.c_str(), text.size());
}

BOOL WriteNarrowFile(const wchar_t* path, const char* text) {
    if (path == nullptr || text == nullptr) {
        return FALSE;
    }
    return ReplaceFileAtomically(PathFromWide(path), text, std::strlen(text));
}

BOOL WriteTextFile(const wchar_t* text, const wchar_t* path) {
    if (text == nullptr) {
        return FALSE;
    }
    CMultiByteText narrow = ToMultiByte936(text);
    return WriteNarrowFile(path, narrow.c_str());
}

BOOL CreateDirectoryPath(const wchar_t* path) {
    if (path == nullptr) {
        return FALSE;
    }
    std::wstring_view text(path);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\' && text[i] != L'/') {
            continue;
        }
        fs::path prefix = PathFromWide(text.substr(0, i + 1));
        std::error_code error;
        if (fs::is_directory(prefix, error)) {
            continue;
        }
        if (!fs::create_directory(prefix, error) && !fs::is_directory(prefix, error)) {
            return FALSE;
        }
    }
    return TRUE;
}

BOOL DeleteDirectoryTree(const wchar_t* path) {
    return path != nullptr && RemoveTreeNoLinks(PathFromWide(path)) ? TRUE : FALSE;
}

std::wstring UrlPathOf(const std::wstring& url) {
    return url.substr(0, url.find_first_of(L"?#"));
}

std::wstring FileNameFromUrl(const std::wstring& url) {
    // The query carries the request's parameters (the client id among them), not the name.
    const std::wstring path = UrlPathOf(url);
    size_t slash = path.rfind(L'/');
    if (slash == std::wstring::npos) {
        return {};
    }
    std::wstring name = path.substr(slash + 1);
    SanitizeFileName(name);
    return name;
}

void SanitizeFileName(std::wstring& name) {
    for (wchar_t& ch : name) {
        if (std::wcschr(L"\"*/:<>?\\|", ch) != nullptr && ch != L'\0') {
            ch = L'_';
        }
    }
}
