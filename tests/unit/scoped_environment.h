// Points the client's folders (and the autostart folder) at a fresh temporary folder for the
// lifetime of the object, restoring the previous values afterwards.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "temp_folder.h"

class ScopedEnvironment {
public:
    ScopedEnvironment() {
        Set("SONGDECK_LOCAL_APPDATA", (m_root.path() / "local").string());
        Set("SONGDECK_COMMON_APPDATA", (m_root.path() / "common").string());
        Set("XDG_CONFIG_HOME", (m_root.path() / "config").string());
    }
    ~ScopedEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            SetVariable(it->first, it->second ? it->second->c_str() : nullptr);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    void Set(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        SetVariable(name, value.c_str());
    }
    const TempFolder& root() const { return m_root; }
    std::filesystem::path UserData() const { return m_root.path() / "local/Tavnel/SongDeck"; }
    std::filesystem::path SharedData() const { return m_root.path() / "local/Tavnel/common"; }
    std::filesystem::path AutoStart() const { return m_root.path() / "config/autostart"; }

    // Sets the variable for good (a null value removes it).
    static void SetVariable(const std::string& name, const char* value) {
#ifdef _WIN32
        _putenv_s(name.c_str(), value != nullptr ? value : "");
#else
        if (value != nullptr) {
            setenv(name.c_str(), value, 1);
        } else {
            unsetenv(name.c_str());
        }
#endif
    }

private:
    TempFolder m_root;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};
