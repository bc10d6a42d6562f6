// Threads, handles and waits. A thread is never killed: closing the handle of a thread that
// still runs detaches it, and whatever it uses must be kept alive by its owner.
#pragma once

#include "platform/types.h"

#ifndef _WIN32

// Starts start(arg) on a new thread (never suspended); stores the thread's id in *threadId
// (may be null). Returns the thread's handle, or null when the thread cannot be created.
HANDLE BeginThreadEx(unsigned (*start)(void*), void* arg, unsigned* threadId);

// Waits for a thread (or another waitable handle) to end: WAIT_OBJECT_0 when it has ended,
// WAIT_TIMEOUT when the time passed, WAIT_FAILED for a null handle.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
BOOL GetExitCodeThread(HANDLE hThread, DWORD* lpExitCode);
constexpr DWORD STILL_ACTIVE = 259;

// Releases the handle; a thread that still runs goes on, detached.
BOOL CloseHandle(HANDLE hObject);

// Manual- or auto-reset events, for waits between threads.
HANDLE CreateEventW(void* attributes, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName);
BOOL SetEvent(HANDLE hEvent);
BOOL ResetEvent(HANDLE hEvent);

void Sleep(DWORD dwMilliseconds);
DWORD GetTickCount();

#endif
