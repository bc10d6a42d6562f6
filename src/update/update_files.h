// The few file operations the updater needs on the update directory and the launcher.
#pragma once

#include <cstddef>
#include <string>

#include "platform/types.h"

bool FileExists(const std::wstring& path);
BOOL DeleteFileAt(const std::wstring& path);
// Moves a file; an existing file at the destination is replaced.
BOOL MoveFileReplacing(const std::wstring& from, const std::wstring& to);
// The digest of the file in the form of expected: SHA-256 for 64 characters, else MD5 (both
// lower-case hexadecimal; empty when the file cannot be read).
std::wstring DigestOfFileLike(const std::wstring& expected, const std::wstring& path);
// Reads a whole file of at most maxBytes; false when it is missing, larger or unreadable.
bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes);
