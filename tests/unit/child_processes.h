// Real processes for tests of what several clients do at once: children that start together,
// each with a deadline. On POSIX they are forked. Windows has no fork: the test program runs
// again, filtered to the calling test, and that copy of the test becomes the child when it
// reaches the same ChildProcesses; so a child learns the parent's state only from `shared`.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

class ChildProcesses {
public:
    using Body = std::function<int(int index, const std::string& shared)>;

    // In a child on Windows this runs body and ends the process with its answer.
    ChildProcesses(std::string shared, Body body)
        : m_shared(std::move(shared)), m_body(std::move(body)) {
#ifdef _WIN32
        if (const char* index = std::getenv("SONGDECK_TEST_CHILD")) {
            RunAsChild(std::atoi(index));
        }
#endif
    }
    ~ChildProcesses() {
        KillAll();
#ifdef _WIN32
        for (HANDLE handle : {m_go, m_ready}) {
            if (handle != nullptr) {
                CloseHandle(handle);
            }
        }
#else
        ReleaseGate();
#endif
    }
    ChildProcesses(const ChildProcesses&) = delete;
    ChildProcesses& operator=(const ChildProcesses&) = delete;

    // Starts count children that wait for Go(); false when one could not be started.
    bool Start(int count) {
#ifdef _WIN32
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(reinterpret_cast<uintptr_t>(this));
        m_go = CreateEventW(nullptr, TRUE, FALSE, (L"Local\\sdtest-go-" + tag).c_str());
        m_ready = CreateSemaphoreW(nullptr, 0, 1000, (L"Local\\sdtest-ready-" + tag).c_str());
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=" +
                            std::wstring(filter.begin(), filter.end());
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 &inherit, OPEN_EXISTING, 0, nullptr);
        SetEnvironmentVariableW(L"SONGDECK_TEST_CHILD_TAG", tag.c_str());
        SetEnvironmentVariableA("SONGDECK_TEST_CHILD_SHARED", m_shared.c_str());
        bool all = true;
        for (int i = 0; i < count && all; ++i) {
            SetEnvironmentVariableW(L"SONGDECK_TEST_CHILD", std::to_wstring(i).c_str());
            STARTUPINFOW startup{};
            startup.cb = sizeof(startup);
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = startup.hStdError = nul;
            PROCESS_INFORMATION process{};
            std::wstring mutableLine = line;
            all = CreateProcessW(self, mutableLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process) != FALSE;
            if (all) {
                CloseHandle(process.hThread);
                m_children.push_back(process.hProcess);
            }
        }
        for (const wchar_t* name :
             {L"SONGDECK_TEST_CHILD", L"SONGDECK_TEST_CHILD_TAG", L"SONGDECK_TEST_CHILD_SHARED"}) {
            SetEnvironmentVariableW(name, nullptr);
        }
        CloseHandle(nul);
        return all;
#else
        if (m_go[0] < 0 && pipe(m_go) != 0) {
            return false;
        }
        for (int i = 0; i < count; ++i) {
            const pid_t child = fork();
            if (child < 0) {
                return false;
            }
            if (child == 0) {
                close(m_go[1]);
                char start;
                // Every child waits for the end of the same pipe, then runs at once.
                if (read(m_go[0], &start, 1) != 0) {
                    std::_Exit(100);
                }
                std::_Exit(m_body(i, m_shared));
            }
            m_children.push_back(child);
        }
        return true;
#endif
    }

    // Lets every child run at once (on Windows once each has started, 60 s at most).
    void Go() {
#ifdef _WIN32
        for (size_t i = 0; i < m_children.size(); ++i) {
            WaitForSingleObject(m_ready, 60000);
        }
        SetEvent(m_go);
#else
        ReleaseGate();
#endif
    }

    // Succeeds when every child exits with 0 (body's answer) before the deadline. Children that
    // hang are killed.
    ::testing::AssertionResult WaitAll(std::chrono::seconds deadline) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        ::testing::AssertionResult result = ::testing::AssertionSuccess();
        while (!m_children.empty()) {
            int status = 0;
            const bool ended = WaitFor(m_children.back(), end, status);
            m_children.pop_back();
            if (!ended) {
                result = ::testing::AssertionFailure() << "a child did not end in time";
            } else if (result && status != 0) {
                result = ::testing::AssertionFailure() << "a child failed with status " << status;
            }
        }
        return result;
    }

    // Ends every child at once, as a crash or a power cut would.
    void KillAll() {
        for (auto child : m_children) {
#ifdef _WIN32
            TerminateProcess(child, 9);
            WaitForSingleObject(child, INFINITE);
            CloseHandle(child);
#else
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
#endif
        }
        m_children.clear();
    }

private:
#ifdef _WIN32
    using Child = HANDLE;

    [[noreturn]] void RunAsChild(int index) {
        const char* tag = std::getenv("SONGDECK_TEST_CHILD_TAG");
        const char* shared = std::getenv("SONGDECK_TEST_CHILD_SHARED");
        const std::string suffix = tag != nullptr ? tag : "";
        HANDLE ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE,
                                      ("Local\\sdtest-ready-" + suffix).c_str());
        HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, ("Local\\sdtest-go-" + suffix).c_str());
        if (ready == nullptr || go == nullptr) {
            std::_Exit(100);
        }
        ReleaseSemaphore(ready, 1, nullptr);
        if (WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) {
            std::_Exit(100);
        }
        std::fflush(nullptr);
        std::_Exit(m_body(index, shared != nullptr ? shared : ""));
    }

    static bool WaitFor(HANDLE child, std::chrono::steady_clock::time_point end, int& status) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        const bool ended =
            WaitForSingleObject(child, left.count() > 0 ? static_cast<DWORD>(left.count()) : 0) ==
            WAIT_OBJECT_0;
        DWORD code = 0;
        if (!ended) {
            TerminateProcess(child, 9);
            WaitForSingleObject(child, INFINITE);
        }
        GetExitCodeProcess(child, &code);
        CloseHandle(child);
        status = static_cast<int>(code);
        return ended;
    }

    HANDLE m_go = nullptr;
    HANDLE m_ready = nullptr;
#else
    using Child = pid_t;

    static bool WaitFor(pid_t child, std::chrono::steady_clock::time_point end, int& status) {
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }

    void ReleaseGate() {
        for (int& end : m_go) {
            if (end >= 0) {
                close(end);
                end = -1;
            }
        }
    }

    int m_go[2] = {-1, -1};
#endif

    std::string m_shared;
    Body m_body;
    std::vector<Child> m_children;
};

// Runs body(index, shared) in count children that all start at the same moment; succeeds when
// every child exits with 0 (body's answer) before the deadline.
inline ::testing::AssertionResult RunChildren(
    int count, const std::string& shared, const ChildProcesses::Body& body,
    std::chrono::seconds deadline = std::chrono::seconds(60)) {
    ChildProcesses children(shared, body);
    if (!children.Start(count)) {
        return ::testing::AssertionFailure() << "a child could not be started";
    }
    children.Go();
    return children.WaitAll(deadline);
}
