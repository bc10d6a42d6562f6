#include "update/update_files.h"

#include <filesystem>
#include <system_error>

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
