// CWinThread: creation, suspension, thread messages, exit.
#include <atomic>

#include "message_test_support.h"

using testsupport::kDeadlineMs;
using testsupport::RecordingWnd;

namespace {

constexpr UINT WM_WORK = WM_USER + 20;

class RecordingThread : public CWinThread {
public:
    std::atomic<DWORD> initThread{0};
    std::atomic<bool> exited{false};
    std::atomic<bool>* destroyed = nullptr;
    std::atomic<DWORD>* reportThread = nullptr;  // outlives a self-deleting thread
    BOOL initResult = TRUE;
    std::vector<WPARAM> work;  // touched only on the thread, read after it ended

    ~RecordingThread() override {
        if (destroyed != nullptr) {
            *destroyed = true;
        }
    }
    BOOL InitInstance() override {
        initThread = GetCurrentThreadId();
        if (reportThread != nullptr) {
            *reportThread = GetCurrentThreadId();
        }
        return initResult;
    }
    void OnThreadMessage(UINT message, WPARAM wParam, LPARAM) override {
        if (message == WM_WORK) {
            work.push_back(wParam);
            if (wParam == 99) {
                PostQuitMessage(5);
            }
        }
    }
    int ExitInstance() override {
        exited = true;
        return CWinThread::ExitInstance() + 100;
    }
};

TEST(WinThread, SuspendedThreadKeepsEarlyPostsAndEndsWithQuit) {
    RecordingThread thread;
    thread.m_bAutoDelete = FALSE;
    ASSERT_TRUE(thread.CreateThread(CREATE_SUSPENDED));
    ASSERT_NE(nullptr, thread.m_hThread);
    ASSERT_NE(0u, thread.m_nThreadID);
    // Posted before the thread runs its loop: kept and delivered in order.
    EXPECT_TRUE(thread.PostThreadMessage(WM_WORK, 1, 0));
    EXPECT_TRUE(PostThreadMessageW(thread.m_nThreadID, WM_WORK, 2, 0));
    EXPECT_EQ(0u, thread.initThread.load()) << "InitInstance ran before ResumeThread";
    EXPECT_EQ(1u, thread.ResumeThread());
    EXPECT_EQ(0u, thread.ResumeThread());
    thread.PostThreadMessage(WM_WORK, 99, 0);

    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.m_hThread, kDeadlineMs));
    EXPECT_EQ(thread.m_nThreadID, thread.initThread.load());
    EXPECT_EQ((std::vector<WPARAM>{1, 2, 99}), thread.work);
    EXPECT_TRUE(thread.exited);
    DWORD code = 0;
    ASSERT_TRUE(GetExitCodeThread(thread.m_hThread, &code));
    EXPECT_EQ(105u, code) << "the exit code is ExitInstance's, built on WM_QUIT's";
}

TEST(WinThread, FailedInitInstanceSkipsTheLoopAndAutoDeleteFrees) {
    std::atomic<bool> destroyed{false};
    auto* thread = new RecordingThread;
    thread->initResult = FALSE;
    std::atomic<DWORD> id{0};
    thread->destroyed = &destroyed;
    thread->reportThread = &id;
    ASSERT_TRUE(thread->CreateThread());
    // The object may already be gone: the id comes from the thread itself.
    thread = nullptr;
    ASSERT_TRUE(testsupport::PumpUntil([&] { return destroyed.load(); }))
        << "an auto-deleting thread did not free itself";
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !PostThreadMessageW(id, WM_WORK, 0, 0); }));
}

TEST(WinThread, DestroyingTheMainWindowEndsTheThread) {
    struct WindowThread : CWinThread {
        RecordingWnd wnd;
        HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        ~WindowThread() override { CloseHandle(created); }
        BOOL InitInstance() override {
            if (!wnd.Create()) {
                return FALSE;
            }
            m_pMainWnd = &wnd;
            SetEvent(created);
            return TRUE;
        }
    } thread;
    thread.m_bAutoDelete = FALSE;
    ASSERT_TRUE(thread.CreateThread());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.created, kDeadlineMs));
    EXPECT_EQ(thread.m_nThreadID, GetWindowThreadProcessId(thread.wnd.m_hWnd, nullptr));
    thread.wnd.PostMessage(WM_CLOSE);
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread.m_hThread, kDeadlineMs))
        << "destroying the main window did not end the loop";
    EXPECT_EQ(nullptr, thread.m_pMainWnd);
}

}  // namespace
