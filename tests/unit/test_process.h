// A process a test starts, killed when the test ends while it still runs: a program with its
// arguments and this process's environment with some variables changed, or (POSIX) a fork.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/text_encoding.h"
#include "scoped_environment.h"

#ifndef _WIN32
extern char** environ;
#endif

class TestProcess {
public:
    using Variables = std::vector<std::pair<std::string, std::string>>;

    TestProcess() = default;
    ~TestProcess() { Kill(); }
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    // False when the program could not be started. Quiet sends its output nowhere.
    bool Start(const std::filesystem::path& program, const std::vector<std::string>& arguments,
               const Variables& variables = {}, bool quiet = false) {
#ifdef _WIN32
        // The child takes this process's environment, changed for the while.
        std::vector<std::pair<std::string, std::optional<std::string>>> saved;
        for (const auto& [name, value] : variables) {
            const char* old = std::getenv(name.c_str());
            saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
            ScopedEnvironment::SetVariable(name, value.c_str());
        }
        std::wstring line = L"\"" + program.wstring() + L"\"";
        for (const std::string& argument : arguments) {
            line += L" \"" + Utf8ToWide(argument) + L"\"";
        }
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        HANDLE nul = quiet ? CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         &inherit, OPEN_EXISTING, 0, nullptr)
                           : INVALID_HANDLE_VALUE;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (nul != INVALID_HANDLE_VALUE) {
            startup.dwFlags = STARTF_USESTDHANDLES;
            startup.hStdOutput = startup.hStdError = nul;
        }
        PROCESS_INFORMATION process{};
        const bool started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr,
                                            nul != INVALID_HANDLE_VALUE, 0, nullptr, nullptr,
                                            &startup, &process) != FALSE;
        if (nul != INVALID_HANDLE_VALUE) {
            CloseHandle(nul);
        }
        if (started) {
            CloseHandle(process.hThread);
            m_process = process.hProcess;
            m_id = process.dwProcessId;
        }
        for (const auto& [name, value] : saved) {
            ScopedEnvironment::SetVariable(name, value ? value->c_str() : nullptr);
        }
#else
        (void)quiet;
        // This process's environment is left alone: its other threads may read it meanwhile.
        std::vector<std::string> texts{program.string()};
        texts.insert(texts.end(), arguments.begin(), arguments.end());
        const size_t environmentStart = texts.size();
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            if (std::none_of(variables.begin(), variables.end(), [&](const auto& variable) {
                    return text.rfind(variable.first + "=", 0) == 0;
                })) {
                texts.push_back(text);
            }
        }
        for (const auto& [name, value] : variables) {
            texts.push_back(name + "=" + value);
        }
        std::vector<char*> pointers;
        for (std::string& text : texts) {
            pointers.push_back(text.data());
        }
        pointers.insert(pointers.begin() + environmentStart, nullptr);
        pointers.push_back(nullptr);
        pid_t pid = 0;
        const bool started = posix_spawn(&pid, pointers[0], nullptr, nullptr, pointers.data(),
                                         pointers.data() + environmentStart + 1) == 0;
        m_id = started ? pid : 0;
#endif
        return started;
    }

#ifndef _WIN32
    // Runs body in a forked copy of this process, which ends with body's answer.
    void Fork(const std::function<int()>& body) {
        const pid_t pid = fork();
        if (pid == 0) {
            std::_Exit(body());
        }
        m_id = pid > 0 ? pid : 0;
    }
#endif

    // True with the exit status (128 + the signal that ended it on POSIX) when the process
    // ended within the deadline.
    bool Wait(std::chrono::milliseconds deadline, int& status) {
        if (m_id == 0) {
            return false;
        }
#ifdef _WIN32
        DWORD code = 0;
        if (WaitForSingleObject(m_process, static_cast<DWORD>(std::max<long long>(
                                               deadline.count(), 0))) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(m_process, &code)) {
            return false;
        }
        CloseHandle(m_process);
        m_process = nullptr;
        status = static_cast<int>(code);
#else
        const auto end = std::chrono::steady_clock::now() + deadline;
        int raw = 0;
        while (waitpid(m_id, &raw, WNOHANG) != m_id) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
#endif
        m_id = 0;
        return true;
    }

    // Ends the process at once, as a crash or a power cut would.
    void Kill() {
        if (m_id == 0) {
            return;
        }
#ifdef _WIN32
        TerminateProcess(m_process, 9);
        WaitForSingleObject(m_process, INFINITE);
        CloseHandle(m_process);
        m_process = nullptr;
#else
        kill(m_id, SIGKILL);
        waitpid(m_id, nullptr, 0);
#endif
        m_id = 0;
    }

    // The process id; 0 once it was waited for or killed, or when it never started.
    unsigned long id() const {
        return m_id;
    }
    static unsigned long CurrentId() {
#ifdef _WIN32
        return GetCurrentProcessId();
#else
        return static_cast<unsigned long>(getpid());
#endif
    }

private:
#ifdef _WIN32
    HANDLE m_process = nullptr;
    DWORD m_id = 0;
#else
    pid_t m_id = 0;
#endif
};
