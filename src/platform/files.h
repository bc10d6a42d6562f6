// File-system facilities the helpers build on: native paths, atomic replacement of files.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/types.h"

#ifdef _WIN32
constexpr wchar_t kPathSeparator = L'\\';
#else
constexpr wchar_t kPathSeparator = L'/';
#endif

// The native path for a path of the system's text. The system was written with '\' between
// folders, so on Linux both '\' and '/' separate folders.
std::filesystem::path PathFromWide(std::wstring_view path);
std::wstring WideFromPath(const std::filesystem::path& path);

// Replaces the file with the given bytes so that a crash or kill at any moment leaves either
// the old file or the new one whole: the bytes go to a temporary file in the same folder, are
// flushed to disk, and the temporary file is renamed over the target. A file without any write
// permission is left alone and the call fails, as writing into it would. errno tells why.
// Temporary files that killed writers left in the folder are removed first.
BOOL ReplaceFileAtomically(const std::filesystem::path& path, const void* data, size_t size);

// Removes path and, when it is a folder, everything in it. A link is removed as itself and never
// entered, wherever it stands (path included): on Windows anything with a reparse point (a
// junction, a symbolic link, a mount point), which the standard library there cannot tell from
// a folder. An entry that cannot be removed does not stop the others; FALSE when anything
// stays or path was missing.
BOOL RemoveTreeNoLinks(const std::filesystem::path& path);
// Whether path is a link itself (on Windows: has a reparse point); false when it is missing.
bool IsLinkEntry(const std::filesystem::path& path);

// Holds an exclusive lock on a folder for its lifetime, so that processes (and threads) that
// read a file of the folder and then create it do so one at a time. Creates no folder.
class CFolderLock {
public:
    explicit CFolderLock(const std::filesystem::path& folder);
    ~CFolderLock();
    CFolderLock(const CFolderLock&) = delete;
    CFolderLock& operator=(const CFolderLock&) = delete;
    bool IsLocked() const { return m_bLocked; }

private:
    intptr_t m_hFolder;
    bool m_bLocked = false;
};
