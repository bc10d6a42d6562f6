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
// Copies the regular file at from, never through a link, to a new file at to (whatever was
// there goes), flushed to disk. The digest is taken of exactly the bytes copied, in the form
// of expected; a copy that fails, or differs from a non-empty expected, is removed.
enum class VerifiedCopy { Copied, Unreadable, Mismatch, Unwritable };
VerifiedCopy CopyFileVerified(const std::wstring& from, const std::wstring& to,
                              const std::wstring& expected);
// Reads a whole file of at most maxBytes; false when it is missing, larger or unreadable.
bool ReadWholeFile(const std::wstring& path, size_t maxBytes, std::string& bytes);

// The launcher beside the client, and the name an update delivers a new one under.
constexpr wchar_t kLauncherName[] = L"RunSongDeck";
constexpr wchar_t kDeliveredLauncherName[] = L"RunSongDeck2";

// A delivered launcher in the folder (ending in a separator) becomes the launcher by one rename
// over the old one, so that there is a launcher at every moment. True when one was swapped in.
bool SwapDeliveredLauncher(const std::wstring& folder);
