// What the application object does with the update thread, for tests until it exists: start
// a check on a new thread, and stop the thread waiting at most 3000 ms.
#pragma once

#include "platform/thread.h"
#include "update/update_messages.h"
#include "update/update_thread.h"

namespace updatetest {

inline CUpdateThread* StartUpdateThread(BOOL interactive, LPARAM start = 1) {
    auto* thread = new CUpdateThread();
    thread->m_bAutoDelete = FALSE;
    if (!thread->CreateThread(CREATE_SUSPENDED)) {
        delete thread;
        return nullptr;
    }
    thread->ResumeThread();
    thread->PostThreadMessage(WM_UPDATE_START, static_cast<WPARAM>(interactive), start);
    return thread;
}

// True when the thread ended within the wait; otherwise it is left to delete itself.
inline bool StopUpdateThread(CUpdateThread*& thread, DWORD waitMs = 3000) {
    if (thread == nullptr) {
        return true;
    }
    if (!thread->PostThreadMessage(WM_QUIT, 0, 0)) {
        thread->PostThreadMessage(WM_QUIT, 0, 0);
    }
    const bool ended = WaitForSingleObject(thread->m_hThread, waitMs) == WAIT_OBJECT_0;
    if (ended) {
        delete thread;
    } else {
        thread->m_bAutoDelete = TRUE;
    }
    thread = nullptr;
    return ended;
}

}  // namespace updatetest
