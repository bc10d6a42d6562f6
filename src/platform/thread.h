// Threads, handles and waits. A thread is never killed: closing the handle of a thread that
// still runs detaches it, and whatever it uses must be kept alive by its owner.
#pragma once

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

#include "platform/types.h"

// Starts start(arg) on a new thread (never suspended); stores the thread's id in *threadId
// (may be null). Returns the thread's handle, or null when the thread cannot be created.
HANDLE BeginThreadEx(unsigned (*start)(void*), void* arg, unsigned* threadId);

// Starts task on a new thread that owns it: what the task holds lives until the thread ends,
// and is released there. When no thread can be made the task is released here and null is
// returned.
HANDLE BeginThreadTask(std::function<unsigned()> task, unsigned* threadId);

// Starts (job->*run)() on a new thread that shares the job, so a worker its owner stops
// waiting for goes on, detached, with everything the job holds. The thread's exit code is
// what run returns (0 for a member returning nothing).
template <class Job, class Result>
HANDLE BeginJobThread(std::shared_ptr<Job> job, Result (Job::*run)(), unsigned* threadId) {
    if (!job || run == nullptr) {
        return nullptr;
    }
    return BeginThreadTask(
        [job = std::move(job), run]() -> unsigned {
            if constexpr (std::is_void_v<Result>) {
                ((*job).*run)();
                return 0;
            } else {
                return static_cast<unsigned>(((*job).*run)());
            }
        },
        threadId);
}

#ifndef _WIN32

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

// Thread creation flags.
constexpr DWORD CREATE_SUSPENDED = 0x4;

void Sleep(DWORD dwMilliseconds);
DWORD GetTickCount();

#endif
