// A file read through one handle on Windows: a reparse point (a symbolic link or junction) is
// opened as itself and then refused, so the bytes checked are the bytes of a plain file.
#include "platform/read_file.h"

#include <windows.h>

namespace platform {

CReadFile::~CReadFile() {
    Close();
}

bool CReadFile::Open(const std::filesystem::path& path) {
    Close();
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        CloseHandle(file);
        return false;
    }
    m_nHandle = reinterpret_cast<intptr_t>(file);
    return true;
}

int64_t CReadFile::Read(void* buffer, size_t size) {
    if (m_nHandle < 0) {
        return -1;
    }
    DWORD read = 0;
    const DWORD piece = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    if (!ReadFile(reinterpret_cast<HANDLE>(m_nHandle), buffer, piece, &read, nullptr)) {
        return -1;
    }
    return read;
}

void CReadFile::Close() {
    if (m_nHandle >= 0) {
        CloseHandle(reinterpret_cast<HANDLE>(m_nHandle));
        m_nHandle = -1;
    }
}

}  // namespace platform
