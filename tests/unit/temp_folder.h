// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "songdeck-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        if (made != nullptr) {
            m_path = made;
        }
    }
    ~TempFolder() {
        std::error_code error;
        // Read-only folders made by a test must not stop the clean-up.
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, error);
        std::filesystem::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    // The folder's path as the system's text, with its trailing separator.
    std::wstring wide() const { return m_path.wstring() + L"/"; }
    std::wstring wide(const std::wstring& name) const { return wide() + name; }

    std::string Read(const std::string& name) const {
        std::ifstream file(m_path / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), {});
    }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream file(m_path / name, std::ios::binary | std::ios::trunc);
        file << bytes;
    }

private:
    std::filesystem::path m_path;
};
