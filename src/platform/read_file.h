// A file read through one handle: opened only when it is a regular file reached without
// following a link, so that the bytes checked are the bytes used, whatever happens to the
// name meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace platform {

class CReadFile {
public:
    CReadFile() = default;
    ~CReadFile();
    CReadFile(const CReadFile&) = delete;
    CReadFile& operator=(const CReadFile&) = delete;

    // False when nothing is there, it is a link, a folder, a device or a pipe, or unreadable.
    bool Open(const std::filesystem::path& path);
    // The bytes read into buffer (at most size), 0 at the end of the file, -1 on a failure.
    int64_t Read(void* buffer, size_t size);
    void Close();

private:
    intptr_t m_nHandle = -1;
};

}  // namespace platform
