// Native paths and atomic file replacement on Windows: a temporary file beside the target,
// flushed, then moved over it with MoveFileExW.
#include "platform/files.h"

#include <windows.h>

#include <atomic>
#include <cerrno>
#include <string>

namespace {

// A temporary name beside the target that no other writer picks.
std::wstring TemporaryNameFor(const std::wstring& target) {
    static std::atomic<unsigned> counter{0};
    return target + L".tmp" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(counter++) + L"-" + std::to_wstring(GetTickCount() % 100000);
}

// The writer's process id of a temporary file TemporaryNameFor made for target, or 0.
DWORD TemporaryWriter(const std::wstring& name, const std::wstring& targetName) {
    const std::wstring prefix = targetName + L".tmp";
    if (name.size() <= prefix.size() || _wcsnicmp(name.c_str(), prefix.c_str(), prefix.size())) {
        return 0;
    }
    return static_cast<DWORD>(wcstoul(name.c_str() + prefix.size(), nullptr, 10));
}

bool ProcessRuns(DWORD id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
    if (process == nullptr) {
        return GetLastError() == ERROR_ACCESS_DENIED;
    }
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

// A killed write leaves its temporary file: remove those whose writer is gone.
void RemoveStaleTemporaries(const std::filesystem::path& target) {
    std::error_code error;
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(L".") : target.parent_path();
    const std::wstring targetName = target.filename().wstring();
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const DWORD writer = TemporaryWriter(entry.path().filename().wstring(), targetName);
        if (writer != 0 && writer != GetCurrentProcessId() && !ProcessRuns(writer)) {
            DeleteFileW(entry.path().c_str());
        }
    }
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        DWORD written = 0;
        const DWORD piece = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        if (!WriteFile(file, p, piece, &written, nullptr) || written == 0) {
            return false;
        }
        p += written;
        size -= written;
    }
    return true;
}

}  // namespace

std::filesystem::path PathFromWide(std::wstring_view path) {
    return std::filesystem::path(std::wstring(path)).make_preferred();
}

std::wstring WideFromPath(const std::filesystem::path& path) {
    return path.wstring();
}

BOOL ReplaceFileAtomically(const std::filesystem::path& path, const void* data, size_t size) {
    const std::wstring target = path.wstring();
    RemoveStaleTemporaries(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            errno = EISDIR;
            return FALSE;
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            errno = EACCES;
            return FALSE;
        }
    }
    std::wstring temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 8 && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = TemporaryNameFor(target);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            errno = EACCES;
            return FALSE;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        errno = EEXIST;
        return FALSE;
    }
    bool ok = WriteAll(file, data, size) && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok && MoveFileExW(temporary.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        DeleteFileW(temporary.c_str());
        errno = EIO;
        return FALSE;
    }
    return TRUE;
}

CFolderLock::CFolderLock(const std::filesystem::path& folder) : m_hFolder(0) {
    // A lock file of the folder held open without sharing; others retry until it is free.
    const std::wstring lockPath =
        (folder.empty() ? std::filesystem::path(L".") : folder).wstring() + L"\\.lock";
    if (GetFileAttributesW(folder.empty() ? L"." : folder.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return;
    }
    for (int attempt = 0; attempt < 6000; ++attempt) {
        HANDLE file = CreateFileW(lockPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            m_hFolder = reinterpret_cast<intptr_t>(file);
            m_bLocked = true;
            return;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION && GetLastError() != ERROR_ACCESS_DENIED) {
            return;
        }
        Sleep(10);
    }
}

CFolderLock::~CFolderLock() {
    if (m_bLocked) {
        CloseHandle(reinterpret_cast<HANDLE>(m_hFolder));
    }
}
