// Starting another program of the installation, detached from the one that starts it.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

// Starts the program with the arguments (argv[0] is the program path) and does not wait for
// it; the new process outlives its starter. False when it could not be started.
bool StartDetachedProgram(const std::wstring& path, const std::vector<std::wstring>& arguments);

// Waits until no other process of this user keeps a file open inside the folder, at most
// timeoutMs; true when none does. The web engine's own processes may outlive the client for a
// moment.
bool WaitUntilNoProcessUses(const std::wstring& folder, DWORD timeoutMs);

// Forces a file's (or a folder's) content and entries to the disk, so that a rename that
// follows cannot reach the disk before the bytes it names. False when it cannot be done.
bool FlushToDisk(const std::wstring& path);
