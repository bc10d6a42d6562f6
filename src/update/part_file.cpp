#include "update/part_file.h"

#include <system_error>

namespace fs = std::filesystem;

bool CPartFile::Open(const fs::path& path, std::ios::openmode mode) {
    Close();
    // Unbuffered: each chunk reaches the system in one call and its failure shows at once.
    m_file.rdbuf()->pubsetbuf(nullptr, 0);
    m_file.open(path, mode | std::ios::binary);
    if (!m_file.is_open()) {
        m_file.clear();
        return false;
    }
    m_path = path;
    return true;
}

bool CPartFile::OpenExisting(const fs::path& path) {
    std::error_code error;
    if (!fs::exists(path, error)) {
        return false;
    }
    if (!Open(path, std::ios::in | std::ios::out)) {
        return false;
    }
    uint64_t size = fs::file_size(path, error);
    m_nOpenedSize = error ? 0 : size;
    m_file.seekp(0, std::ios::end);
    if (!m_file) {
        // Not seekable (not a regular file): writes go where the system puts them.
        m_file.clear();
    }
    return true;
}

bool CPartFile::Create(const fs::path& path) {
    if (!Open(path, std::ios::out | std::ios::trunc)) {
        return false;
    }
    m_nOpenedSize = 0;
    return true;
}

bool CPartFile::Write(const char* data, size_t size) {
    if (!m_file.is_open()) {
        return false;
    }
    m_file.write(data, static_cast<std::streamsize>(size));
    return static_cast<bool>(m_file);
}

bool CPartFile::Truncate(uint64_t size) {
    if (!m_file.is_open()) {
        return false;
    }
    std::error_code error;
    fs::resize_file(m_path, size, error);
    if (error) {
        return false;
    }
    m_file.seekp(static_cast<std::streamoff>(size), std::ios::beg);
    m_nOpenedSize = size;
    return static_cast<bool>(m_file);
}

void CPartFile::Close() {
    if (m_file.is_open()) {
        m_file.close();
    }
    m_file.clear();
}
