// A file written in place on Windows: opened without following a reparse point (a symbolic
// link or junction), and only when what the path names is a plain file on a disk.
#include "platform/write_file.h"

#include <windows.h>

namespace platform {

namespace {

HANDLE HandleOf(intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Links and folders are never opened for writing.
bool IsPlainFile(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace

CWriteFile::~CWriteFile() {
    Close();
}

CWriteFile::OpenResult CWriteFile::OpenExisting(const std::filesystem::path& path) {
    Close();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return OpenResult::Missing;
        }
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES &&
                       (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
                   ? OpenResult::NotRegular
                   : OpenResult::Failed;
    }
    if (!IsPlainFile(file)) {
        CloseHandle(file);
        return OpenResult::NotRegular;
    }
    LARGE_INTEGER end{};
    if (!SetFilePointerEx(file, end, nullptr, FILE_END)) {
        CloseHandle(file);
        return OpenResult::Failed;
    }
    m_nHandle = reinterpret_cast<intptr_t>(file);
    return OpenResult::Opened;
}

bool CWriteFile::Create(const std::filesystem::path& path) {
    Close();
    // Whatever lies there goes (a link itself, never its target); CREATE_NEW then refuses
    // anything that appears in between.
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        const bool linkedFolder =
            (attributes & FILE_ATTRIBUTE_DIRECTORY) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (linkedFolder ? !RemoveDirectoryW(path.c_str()) : !DeleteFileW(path.c_str())) {
            return false;
        }
    }
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    m_nHandle = reinterpret_cast<intptr_t>(file);
    return true;
}

uint64_t CWriteFile::Size() const {
    LARGE_INTEGER size{};
    if (m_nHandle < 0 || !GetFileSizeEx(HandleOf(m_nHandle), &size)) {
        return 0;
    }
    return static_cast<uint64_t>(size.QuadPart);
}

bool CWriteFile::Write(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0 && m_nHandle >= 0) {
        DWORD written = 0;
        const DWORD piece = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
        if (!WriteFile(HandleOf(m_nHandle), bytes, piece, &written, nullptr) || written == 0) {
            return false;
        }
        bytes += written;
        size -= written;
    }
    return m_nHandle >= 0;
}

bool CWriteFile::Flush() {
    return m_nHandle >= 0 && FlushFileBuffers(HandleOf(m_nHandle)) != FALSE;
}

bool CWriteFile::Truncate(uint64_t size) {
    LARGE_INTEGER at{};
    at.QuadPart = static_cast<LONGLONG>(size);
    return m_nHandle >= 0 && SetFilePointerEx(HandleOf(m_nHandle), at, nullptr, FILE_BEGIN) &&
           SetEndOfFile(HandleOf(m_nHandle));
}

void CWriteFile::Close() {
    if (m_nHandle >= 0) {
        CloseHandle(HandleOf(m_nHandle));
        m_nHandle = -1;
    }
}

bool IsFileNameTooLong(std::wstring_view name) {
    return name.size() > 255;  // UTF-16 units, as NTFS counts a name
}

}  // namespace platform
