// Where the client keeps its data and how it presents itself.
#pragma once

#include <string>

#include "platform/types.h"

// Directories end with a path separator.
std::wstring GetUserDataDir();
std::wstring GetCommonVendorDir();
std::wstring GetCommonDataDir();
std::wstring GetSharedDataDir();

std::wstring GetAppVersionString();
LONGLONG GetAppVersionNumber();
std::wstring GetAutoRunCommand();
std::wstring GetAutoRunValueName();
std::wstring GetUserAgent();
std::wstring GetClientId();
std::wstring GetUpdateManifestUrl();
