// The ".part" file a download writes into: opened again to resume, written without buffering
// so that a failed write (a full disk) is seen at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

class CPartFile {
public:
    CPartFile() = default;
    CPartFile(const CPartFile&) = delete;
    CPartFile& operator=(const CPartFile&) = delete;

    // Opens an existing file for writing at its end; false when there is none.
    bool OpenExisting(const std::filesystem::path& path);
    // Creates (or empties) the file.
    bool Create(const std::filesystem::path& path);
    bool IsOpen() const { return m_file.is_open(); }
    // Bytes in the file when it was opened, or after the last Truncate.
    uint64_t GetOpenedSize() const { return m_nOpenedSize; }

    bool Write(const char* data, size_t size);
    // Cuts the file to size bytes and continues writing there.
    bool Truncate(uint64_t size);
    void Close();

private:
    bool Open(const std::filesystem::path& path, std::ios::openmode mode);

    std::filesystem::path m_path;
    std::fstream m_file;
    uint64_t m_nOpenedSize = 0;
};
