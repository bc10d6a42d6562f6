// The ".part" file a download writes into: opened again to resume, written without buffering
// so that a failed write (a full disk) is seen at once. Never opened through a link.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

#include "platform/write_file.h"

class CPartFile {
public:
    using OpenResult = platform::CWriteFile::OpenResult;

    CPartFile() = default;
    CPartFile(const CPartFile&) = delete;
    CPartFile& operator=(const CPartFile&) = delete;

    // Opens an existing regular file for writing at its end.
    OpenResult OpenExisting(const std::filesystem::path& path);
    // Creates (or empties) the file in place of whatever was there.
    bool Create(const std::filesystem::path& path);
    bool IsOpen() const { return m_file.IsOpen(); }
    // Bytes in the file when it was opened, or after the last Truncate.
    uint64_t GetOpenedSize() const { return m_nOpenedSize; }

    bool Write(const char* data, size_t size);
    // Cuts the file to size bytes and continues writing there.
    bool Truncate(uint64_t size);
    void Close();

private:
    platform::CWriteFile m_file;
    uint64_t m_nOpenedSize = 0;
};
