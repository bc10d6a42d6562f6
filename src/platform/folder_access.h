// Whether this process may create and replace files in a folder.
#pragma once

#include <string>

bool CanReplaceFilesIn(const std::wstring& folder);
