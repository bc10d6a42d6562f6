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
BOOL ReplaceFileAtomically(const std::filesystem::path& path, const void* data, size_t size);

// Gives a missing or empty file its first contents, once: under an exclusive lock of the folder,
// a file that is missing or empty is replaced atomically by the bytes, a file that already has
// contents is left as it is (and the call succeeds). Two processes racing here agree on one
// file. The caller reads back what the file holds.
BOOL FillEmptyFileAtomically(const std::filesystem::path& path, const void* data, size_t size);
