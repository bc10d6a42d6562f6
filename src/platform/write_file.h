// A file written in place (a download's ".part"): opened only when it is a regular file
// reached without following a link, so that whoever can write to the folder cannot point the
// writes at a file elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace platform {

class CWriteFile {
public:
    enum class OpenResult {
        Opened,
        Missing,     // nothing at the path
        NotRegular,  // a link, a folder, a device or a pipe: never opened
        Failed,      // a regular file that cannot be opened for writing
    };

    CWriteFile() = default;
    ~CWriteFile();
    CWriteFile(const CWriteFile&) = delete;
    CWriteFile& operator=(const CWriteFile&) = delete;

    // Opens an existing regular file for writing at its end.
    OpenResult OpenExisting(const std::filesystem::path& path);
    // Creates a new empty file in place of whatever file or link was at the path (a link is
    // removed, not followed), with the default sharing of the user's new files.
    bool Create(const std::filesystem::path& path);
    bool IsOpen() const { return m_nHandle >= 0; }
    uint64_t Size() const;
    // The whole block or false; the write reaches the system at once.
    bool Write(const void* data, size_t size);
    // Cuts the file to size bytes and continues writing there.
    bool Truncate(uint64_t size);
    // Forces the bytes written so far to the disk.
    bool Flush();
    void Close();

private:
    intptr_t m_nHandle = -1;
};

// Whether a file of this name cannot exist in a folder (longer than a name may be).
bool IsFileNameTooLong(std::wstring_view name);

}  // namespace platform
