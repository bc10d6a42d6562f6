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
#include <list>
#include <string>

#include "test_process.h"

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
        const std::string tag = std::to_string(GetCurrentProcessId()) + "-" +
                                std::to_string(reinterpret_cast<uintptr_t>(this));
        m_go = CreateEventA(nullptr, TRUE, FALSE, ("Local\\sdtest-go-" + tag).c_str());
        m_ready = CreateSemaphoreA(nullptr, 0, 1000, ("Local\\sdtest-ready-" + tag).c_str());
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        for (int i = 0; i < count; ++i) {
            if (!m_children.emplace_back().Start(self, {"--gtest_filter=" + filter},
                                                 {{"SONGDECK_TEST_CHILD", std::to_string(i)},
                                                  {"SONGDECK_TEST_CHILD_TAG", tag},
                                                  {"SONGDECK_TEST_CHILD_SHARED", m_shared}},
                                                 true)) {
                return false;
            }
        }
        return true;
#else
        if (m_go[0] < 0 && pipe(m_go) != 0) {
            return false;
        }
        for (int i = 0; i < count; ++i) {
            TestProcess& child = m_children.emplace_back();
            child.Fork([this, i] {
                close(m_go[1]);
                char start;
                // Every child waits for the end of the same pipe, then runs at once.
                if (read(m_go[0], &start, 1) != 0) {
                    return 100;
                }
                return m_body(i, m_shared);
            });
            if (child.id() == 0) {
                return false;
            }
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
        for (TestProcess& child : m_children) {
            int status = 0;
            if (!child.Wait(std::chrono::duration_cast<std::chrono::milliseconds>(
                                end - std::chrono::steady_clock::now()),
                            status)) {
                result = ::testing::AssertionFailure() << "a child did not end in time";
            } else if (result && status != 0) {
                result = ::testing::AssertionFailure() << "a child failed with status " << status;
            }
        }
        m_children.clear();
        return result;
    }

    // Ends every child at once, as a crash or a power cut would.
    void KillAll() {
        m_children.clear();
    }

private:
#ifdef _WIN32
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

    HANDLE m_go = nullptr;
    HANDLE m_ready = nullptr;
#else
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
    std::list<TestProcess> m_children;
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
