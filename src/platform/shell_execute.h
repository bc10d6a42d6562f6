// Starting programs and opening web addresses.
#pragma once

#include <string>

#include "platform/messages.h"  // SW_SHOWNORMAL ...
#include "platform/types.h"

#ifndef _WIN32

// ShellExecuteW's result is above 32 on success; these are its failures.
constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_PNF = 3;
constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr INT_PTR SE_ERR_NOASSOC = 31;

// lpFile an http or https URL: opens it in the user's default browser (lpParameters must be
// empty). Any other lpFile is a program, started with lpParameters split as a command line
// (quotes group words) and lpDirectory as its working folder (its own folder when null);
// the new process is not waited for. lpOperation null or "open"; nShowCmd is not examined.
// Returns a value above 32 on success, else SE_ERR_*: SE_ERR_FNF for a missing program,
// SE_ERR_ACCESSDENIED for one that may not be run, SE_ERR_NOASSOC for any other address.
// The result is a number, not a handle, on both platforms.
INT_PTR ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                      LPCWSTR lpDirectory, INT nShowCmd);

#endif

namespace platform {
// Opens an http or https URL in the user's default browser; false (nothing is started) for
// any other scheme, a malformed URL, or when no browser could be started.
bool OpenUrlInBrowser(const std::wstring& url);
}  // namespace platform
