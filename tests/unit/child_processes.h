// Real processes for tests of what several clients do at once: forked children that start
// together, each with a deadline.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

// Runs body(index) in count forked children that all start at the same moment; succeeds when
// every child exits with 0 (body's answer) before the deadline. Children that hang are killed.
inline ::testing::AssertionResult RunChildren(
    int count, const std::function<int(int)>& body,
    std::chrono::seconds deadline = std::chrono::seconds(60)) {
    int go[2];
    if (pipe(go) != 0) {
        return ::testing::AssertionFailure() << "no pipe";
    }
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        pid_t child = fork();
        if (child < 0) {
            break;
        }
        if (child == 0) {
            close(go[1]);
            char start;
            // Every child waits for the end of the same pipe, then runs at once.
            if (read(go[0], &start, 1) != 0) {
                _exit(100);
            }
            _exit(body(i));
        }
        children.push_back(child);
    }
    close(go[0]);
    close(go[1]);
    auto end = std::chrono::steady_clock::now() + deadline;
    ::testing::AssertionResult result = ::testing::AssertionSuccess();
    if (static_cast<int>(children.size()) != count) {
        result = ::testing::AssertionFailure() << "fork failed";
    }
    for (pid_t child : children) {
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                result = ::testing::AssertionFailure() << "a child did not end in time";
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (result && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
            result = ::testing::AssertionFailure() << "a child failed with status " << status;
        }
    }
    return result;
}
