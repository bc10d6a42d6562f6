// CWinThread: a thread with its own message loop.
#include "platform/thread.h"
#include "platform/thread_gate.h"
#include "platform/wnd.h"

namespace {
thread_local CWinThread* t_thread = nullptr;
}  // namespace

CWinThread* AfxGetThread() {
    return t_thread;
}

CWinThread::CWinThread() = default;

CWinThread::~CWinThread() {
    CloseHandle(m_hThread);
    CloseHandle(m_hResume);
    CloseHandle(m_hStarted);
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags) {
    if (m_hThread != nullptr) {
        return FALSE;
    }
    m_bSuspended = (dwCreateFlags & CREATE_SUSPENDED) != 0;
    m_hStarted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The thread waits at this gate until its handle and id are stored, so that it can never
    // delete itself while CreateThread still writes them.
    m_hResume = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    unsigned id = 0;
    m_hThread = BeginThreadEx(&CWinThread::ThreadEntry, this, &id);
    if (m_hThread == nullptr) {
        return FALSE;
    }
    m_nThreadID = id;
    // Posts made as soon as this returns must find the thread's queue.
    WaitForSingleObject(m_hStarted, INFINITE);
    if (!m_bSuspended) {
        platform::detail::OpenThreadGate(m_hResume);
    }
    return TRUE;
}

DWORD CWinThread::ResumeThread() {
    if (m_hResume == nullptr) {
        return DWORD(-1);
    }
    const bool wasSuspended = m_bSuspended;
    m_bSuspended = false;
    if (wasSuspended) {
        platform::detail::OpenThreadGate(m_hResume);
    }
    return wasSuspended ? 1 : 0;
}

BOOL CWinThread::PostThreadMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostThreadMessageW(m_nThreadID, message, wParam, lParam);
}

int CWinThread::Run() {
    t_thread = this;
    platform::SetThreadMessageHandler([this](UINT message, WPARAM wParam, LPARAM lParam) {
        OnThreadMessage(message, wParam, lParam);
    });
    m_nExitCode = platform::RunMessageLoop();
    return ExitInstance();
}

unsigned CWinThread::ThreadEntry(void* self) {
    auto* thread = static_cast<CWinThread*>(self);
    t_thread = thread;
    platform::EnsureMessageQueue();
    // Thread messages that arrive while InitInstance pumps (a modal box) reach the thread too.
    platform::SetThreadMessageHandler([thread](UINT message, WPARAM wParam, LPARAM lParam) {
        thread->OnThreadMessage(message, wParam, lParam);
    });
    SetEvent(thread->m_hStarted);
    WaitForSingleObject(thread->m_hResume, INFINITE);

    const int exitCode = thread->InitInstance() ? thread->Run() : thread->ExitInstance();
    t_thread = nullptr;
    if (thread->m_bAutoDelete) {
        delete thread;
    }
    return static_cast<unsigned>(exitCode);
}
