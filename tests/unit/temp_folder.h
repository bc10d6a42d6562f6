// A fresh folder under the system's temporary folder, removed with everything in it at the end.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TempFolder {
public:
    TempFolder() {
        // A new folder of a random name, as mkdtemp makes one (which Windows lacks).
        std::random_device random;
        std::error_code error;
        for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
            auto candidate = std::filesystem::temp_directory_path(error) /
                             ("songdeck-" + std::to_string(random() % 100000000));
            if (std::filesystem::create_directory(candidate, error)) {
                m_path = candidate;
            }
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
