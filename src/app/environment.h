// Where the client keeps its data and how it presents itself.
#pragma once

#include <string>

#include "platform/types.h"

// Directories end with a path separator. GetUserDataDir and GetSharedDataDir create theirs.
std::wstring GetUserDataDir();
std::wstring GetCommonVendorDir();
std::wstring GetCommonDataDir();
std::wstring GetSharedDataDir();
// The user's update stage: the updater stages there and the launcher applies from there. Not
// created here.
std::wstring GetUpdateDir();
// The user's folder around the update stage: the version an update replaced and the versions
// refused live there too.
std::wstring GetUpdateStateDir();

std::wstring GetAppVersionString();
LONGLONG GetAppVersionNumber();
// a.b.c.d as (a × 100 + b) × 100000000 + c × 10000 + d; missing parts count 0.
LONGLONG VersionNumberFromText(const std::wstring& text);
std::wstring GetAutoRunCommand();
std::wstring GetAutoRunValueName();
std::wstring GetUserAgent();
std::wstring GetClientId();
std::wstring GetUpdateManifestUrl();
