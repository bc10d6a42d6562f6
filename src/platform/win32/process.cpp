// Starting a program detached from its starter, and flushing files, on Windows.
#include "platform/process.h"

#include <windows.h>

namespace {

// One argument quoted as CommandLineToArgvW reads it back.
std::wstring QuoteArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        return argument;
    }
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t ch : argument) {
        if (ch == L'\\') {
            ++backslashes;
            continue;
        }
        quoted.append(ch == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += ch;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

// A process of its own group, so that the started program outlives its starter's console.
HANDLE StartProcess(const std::wstring& path, const std::vector<std::wstring>& arguments) {
    std::wstring commandLine = QuoteArgument(path);
    for (const std::wstring& argument : arguments) {
        commandLine += L" " + QuoteArgument(argument);
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process)) {
        return nullptr;
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

}  // namespace

bool StartDetachedProgram(const std::wstring& path, const std::vector<std::wstring>& arguments) {
    const HANDLE process = StartProcess(path, arguments);
    if (process == nullptr) {
        return false;
    }
    CloseHandle(process);
    return true;
}

CWatchedProgram::~CWatchedProgram() {
    if (m_process != 0) {
        CloseHandle(reinterpret_cast<HANDLE>(m_process));
    }
}

bool CWatchedProgram::Start(const std::wstring& path, const std::vector<std::wstring>& arguments) {
    m_process = reinterpret_cast<intptr_t>(StartProcess(path, arguments));
    return m_process != 0;
}

bool CWatchedProgram::HasEnded() {
    return m_process == 0 ||
           WaitForSingleObject(reinterpret_cast<HANDLE>(m_process), 0) == WAIT_OBJECT_0;
}

void CWatchedProgram::End() {
    if (m_process != 0 && !HasEnded()) {
        const HANDLE process = reinterpret_cast<HANDLE>(m_process);
        TerminateProcess(process, 1);
        // Its files can be replaced only once it is gone.
        WaitForSingleObject(process, 10000);
    }
}

DWORD CurrentProcessId() {
    return GetCurrentProcessId();
}

bool WaitForProcessEnd(DWORD processId, DWORD timeoutMs) {
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (process == nullptr) {
        return true;
    }
    const bool ended = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

bool WaitUntilNoProcessUses(const std::wstring&, DWORD) {
    // The browser control runs inside the client: nothing of it outlives the client.
    return true;
}

bool FlushToDisk(const std::wstring& path) {
    // A folder opens only with backup semantics; flushing one is refused, but its entries
    // reach the disk with the file's MoveFileExW(MOVEFILE_WRITE_THROUGH).
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        return true;
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    const bool flushed = FlushFileBuffers(file) != FALSE;
    CloseHandle(file);
    return flushed;
}
