// The walk behind RemoveTreeNoLinks on Windows, with a seam for the attributes: wine can make
// no junction, so a test marks an entry as a reparse point through its own view.
#pragma once

#include <windows.h>

#include <string>

namespace platform::win32 {

// The attributes to act on for the entry at path, given those the listing reported.
using AttributeView = DWORD (*)(const std::wstring& path, DWORD listed);

// Removes the entry at path whose attributes are attributes: a reparse point by
// RemoveDirectoryW or DeleteFileW on itself, a folder after its entries (listed with
// FindFirstFileExW, which reports each entry's own attributes), a file by DeleteFileW.
bool RemoveEntry(const std::wstring& path, DWORD attributes, AttributeView view);

}  // namespace platform::win32
