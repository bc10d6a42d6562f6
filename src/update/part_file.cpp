#include "update/part_file.h"

CPartFile::OpenResult CPartFile::OpenExisting(const std::filesystem::path& path) {
    const OpenResult result = m_file.OpenExisting(path);
    m_nOpenedSize = result == OpenResult::Opened ? m_file.Size() : 0;
    return result;
}

bool CPartFile::Create(const std::filesystem::path& path) {
    m_nOpenedSize = 0;
    return m_file.Create(path);
}

bool CPartFile::Write(const char* data, size_t size) {
    return m_file.IsOpen() && m_file.Write(data, size);
}

bool CPartFile::Truncate(uint64_t size) {
    if (!m_file.Truncate(size)) {
        return false;
    }
    m_nOpenedSize = size;
    return true;
}

void CPartFile::Close() {
    m_file.Close();
}
