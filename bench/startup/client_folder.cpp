#include "client_folder.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "process_probe.h"

namespace fs = std::filesystem;

std::string BenchExecutableDir() {
    return fs::read_symlink("/proc/self/exe").parent_path().string();
}

bool WaitForProcess(pid_t pid, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

CBenchClientFolder::CBenchClientFolder(const std::string& page, const std::string& buildDir) {
    std::string pattern = (fs::temp_directory_path() / "songdeck-bench-XXXXXX").string();
    m_root = mkdtemp(pattern.data()) != nullptr ? pattern : "/tmp";
    const fs::path build =
        buildDir.empty() ? fs::path(BenchExecutableDir()).parent_path() : fs::path(buildDir);
    if (!buildDir.empty()) {
        m_unset.push_back("G_DEBUG");
    }
    fs::create_directories(m_root + "/program/res");
    fs::copy_file(build / "SongDeck", ClientPath());
    std::error_code ignored;
    fs::copy(build / "icons", m_root + "/program/icons", fs::copy_options::recursive, ignored);
    std::ofstream(PagePath()) << page;
    // No update check and no address outside this machine.
    fs::create_directories(m_root + "/local/Tavnel/SongDeck");
    std::ofstream(m_root + "/local/Tavnel/SongDeck/config.ini")
        << "[TAVNELDESKTOPCLIENT]\nAUTOUPDATE=0\nFIRSTCLOSEMAINWND=0\n";
    std::ofstream(m_root + "/program/test.ini")
        << "[CLIENT_PROFILE_SHEET]\nUPDATE_CONFIG_URL=http://127.0.0.1:9/\n";
    fs::create_directories(m_root + "/runtime");
    chmod((m_root + "/runtime").c_str(), 0700);
    m_env = {
        {"SONGDECK_LOCAL_APPDATA", m_root + "/local"},
        {"SONGDECK_COMMON_APPDATA", m_root + "/common"},
        {"XDG_CONFIG_HOME", m_root + "/config"},
        {"XDG_DATA_HOME", m_root + "/local"},
        {"XDG_CACHE_HOME", m_root + "/cache"},
        {"XDG_RUNTIME_DIR", m_root + "/runtime"},
    };
}

CBenchClientFolder::~CBenchClientFolder() {
    std::error_code ignored;
    fs::remove_all(m_root, ignored);
}

pid_t CBenchClientFolder::StartClient() const {
    return StartProgram({ClientPath(), "bench"}, m_env, m_unset);
}

bool CBenchClientFolder::LogHolds(const std::string& text) const {
    std::ifstream log(m_root + "/local/Tavnel/SongDeck/SongDeck.log");
    for (std::string line; std::getline(log, line);) {
        if (line.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

bool CBenchClientFolder::ExitClient(pid_t client) const {
    const pid_t exiter = StartProgram({ClientPath(), "exit"}, m_env, m_unset);
    WaitForProcess(exiter, 20000);
    return WaitForProcess(client, 20000);
}
