#include "update/update_files.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "app/helpers.h"
#include "platform/files.h"

bool FileExists(const std::wstring& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(PathFromWide(path), error);
}

BOOL DeleteFileAt(const std::wstring& path) {
    std::error_code error;
    return std::filesystem::remove(PathFromWide(path), error) ? TRUE : FALSE;
}

BOOL MoveFileReplacing(const std::wstring& from, const std::wstring& to) {
    std::error_code error;
    std::filesystem::rename(PathFromWide(from), PathFromWide(to), error);
    return error ? FALSE : TRUE;
}

std::wstring DigestOfFileLike(const std::wstring& expected, const std::wstring& path) {
    constexpr size_t kSha256Digits = 64;
    return expected.size() == kSha256Digits ? SHA256OfFile(path.c_str()) : MD5OfFile(path.c_str());
}

bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes) {
    bytes.clear();
    const std::filesystem::path native = PathFromWide(path);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(native, error);
    if (error || size > maxBytes) {
        return false;
    }
    std::ifstream file(native, std::ios::binary);
    if (!file) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return bytes.size() <= maxBytes && !file.bad();
}
