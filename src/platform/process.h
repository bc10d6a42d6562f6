// Starting another program of the installation, detached from the one that starts it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/types.h"

// Starts the program with the arguments (argv[0] is the program path) and does not wait for
// it; the new process outlives its starter. False when it could not be started.
bool StartDetachedProgram(const std::wstring& path, const std::vector<std::wstring>& arguments);

// A program started as StartDetachedProgram does, which this one may watch until it lets it
// go: whether it has ended, and ending it. The program outlives the object.
class CWatchedProgram {
public:
    CWatchedProgram() = default;
    ~CWatchedProgram();
    CWatchedProgram(const CWatchedProgram&) = delete;
    CWatchedProgram& operator=(const CWatchedProgram&) = delete;

    bool Start(const std::wstring& path, const std::vector<std::wstring>& arguments);
    // True once the program has ended (by any exit or signal).
    bool HasEnded();
    // Ends the program if it still runs and waits for its end.
    void End();

private:
    intptr_t m_process = 0;  // the process id on POSIX, its handle on Windows
};

// Waits until no other process of this user keeps a file open inside the folder, at most
// timeoutMs; true when none does. The web engine's own processes may outlive the client for a
// moment.
bool WaitUntilNoProcessUses(const std::wstring& folder, DWORD timeoutMs);

// This process's id, as another program may wait for its end.
DWORD CurrentProcessId();
// Waits until the process with this id has ended, at most timeoutMs; true when it has (or never
// ran). A running program's files cannot be replaced on Windows.
bool WaitForProcessEnd(DWORD processId, DWORD timeoutMs);

// Forces a file's (or a folder's) content and entries to the disk, so that a rename that
// follows cannot reach the disk before the bytes it names. False when it cannot be done.
bool FlushToDisk(const std::wstring& path);
