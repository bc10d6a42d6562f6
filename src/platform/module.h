// Modules (the executable and shared objects) and the version the build stamps into them.
#pragma once

#include <string>

// The full path of the file a module was loaded from: a null address names the executable,
// any other address names the module that contains it. Empty when it cannot be found.
std::wstring GetModulePath(const void* address);

// Reads the project version the build stamped into an executable file; false when the file
// cannot be read or carries no stamp.
bool ReadModuleVersionStamp(const std::wstring& modulePath, std::wstring& version);
