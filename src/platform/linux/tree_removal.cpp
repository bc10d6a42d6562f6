// Removing a tree by lstat: a link is an entry like a file.
#include <filesystem>
#include <system_error>

#include "platform/files.h"

namespace fs = std::filesystem;

BOOL RemoveTreeNoLinks(const fs::path& given) {
    // "link/" would name the link's target.
    const fs::path path = given.has_filename() ? given : given.parent_path();
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (error || !fs::exists(status)) {
        return FALSE;
    }
    bool whole = true;
    if (fs::is_directory(status)) {
        for (fs::directory_iterator it(path, error), end; !error && it != end;
             it.increment(error)) {
            whole = RemoveTreeNoLinks(it->path()) && whole;
        }
        whole = whole && !error;
    }
    return fs::remove(path, error) && !error && whole ? TRUE : FALSE;
}

bool IsLinkEntry(const fs::path& path) {
    std::error_code error;
    return fs::is_symlink(
        fs::symlink_status(path.has_filename() ? path : path.parent_path(), error));
}
