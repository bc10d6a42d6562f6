// The log file, shared by every process of the user: each line is written with the file opened
// without write sharing, which keeps other writers out while the size is read, the file is
// rotated and the line appended.
#include "platform/log_file.h"

#include <windows.h>

#include <cstdio>
#include <vector>

namespace platform::detail {

std::string LogTimeStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[64];
    std::snprintf(text, sizeof(text), "%04u-%02u-%02u %02u:%02u:%02u.%03u", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds);
    return text;
}

// The system's own wide printf reads "%s" as wide text, "%hs" and "%S" as narrow, and knows
// "%I64d", as the system's formats expect.
std::wstring FormatLogText(const wchar_t* format, va_list args) {
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        const int written = _vsnwprintf(buffer.data(), buffer.size() - 1, format, copy);
        va_end(copy);
        if (written >= 0 && static_cast<size_t>(written) < buffer.size() - 1) {
            return std::wstring(buffer.data(), static_cast<size_t>(written));
        }
        if (buffer.size() >= (1u << 20)) {
            return L"(a line too long to be written)";
        }
        buffer.resize(buffer.size() * 4);
    }
}

namespace {

HANDLE OpenShut(const std::wstring& path) {
    for (int attempt = 0; attempt < 500; ++attempt) {
        HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA | GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION) {
            return file;
        }
        Sleep(2);
    }
    return INVALID_HANDLE_VALUE;
}

bool EndsWithLineBreak(HANDLE file, LONGLONG size) {
    if (size == 0) {
        return true;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(size - 1);
    at.OffsetHigh = static_cast<DWORD>((size - 1) >> 32);
    char last = '\n';
    DWORD read = 0;
    return !ReadFile(file, &last, 1, &read, &at) || read != 1 || last == '\n';
}

}  // namespace

struct CLogFile::Impl {
    std::wstring path;
    size_t maxBytes = 0;

    void WriteLine(const std::string& line) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            HANDLE file = OpenShut(path);
            if (file == INVALID_HANDLE_VALUE) {
                return;
            }
            LARGE_INTEGER size{};
            GetFileSizeEx(file, &size);
            if (size.QuadPart > 0 && static_cast<size_t>(size.QuadPart) + line.size() > maxBytes) {
                // Moved while open (delete sharing allows it); a file that cannot be moved
                // grows on rather than lose the line.
                const std::wstring rotated = path + L".1";
                const bool moved =
                    MoveFileExW(path.c_str(), rotated.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
                if (moved) {
                    CloseHandle(file);
                    continue;
                }
            }
            DWORD written = 0;
            if (!EndsWithLineBreak(file, size.QuadPart)) {
                WriteFile(file, "\n", 1, &written, nullptr);
            }
            WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
            CloseHandle(file);
            return;
        }
    }
};

CLogFile::CLogFile() : m_pImpl(std::make_unique<Impl>()) {}
CLogFile::~CLogFile() = default;

void CLogFile::SetPath(const std::wstring& path, size_t maxBytes) {
    m_pImpl->path = path;
    m_pImpl->maxBytes = maxBytes;
}

bool CLogFile::HasPath() const {
    return !m_pImpl->path.empty();
}

void CLogFile::WriteLine(const std::string& line) {
    m_pImpl->WriteLine(line);
}

}  // namespace platform::detail
