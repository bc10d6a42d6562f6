// The few file operations the updater needs on the update directory and the launcher.
#pragma once

#include <string>

#include "platform/types.h"

bool FileExists(const std::wstring& path);
BOOL DeleteFileAt(const std::wstring& path);
// Moves a file; an existing file at the destination is replaced.
BOOL MoveFileReplacing(const std::wstring& from, const std::wstring& to);
