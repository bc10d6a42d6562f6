#include "client_under_test.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "gui_support.h"
#include "platform/linux/display_session.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void WriteWholeFile(const fs::path& path, const std::string& text) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

}  // namespace

CClientFolder::CClientFolder() {
    std::string pattern = GuiWorkDir() + "/client-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
        m_root = pattern;
    }
    fs::create_directories(ProgramDir() / "res");
    fs::create_directories(m_root / "runtime");
    chmod((m_root / "runtime").c_str(), 0700);
    fs::copy_file(SONGDECK_CLIENT_PATH, ProgramDir() / "SongDeck");
    const fs::path icons = fs::path(SONGDECK_CLIENT_PATH).parent_path() / "icons";
    std::error_code error;
    if (fs::is_directory(icons, error)) {
        fs::copy(icons, ProgramDir() / "icons", fs::copy_options::recursive, error);
    }
}

CClientFolder::~CClientFolder() {
    KillAll();
}

void CClientFolder::WritePage(const std::string& name, const std::string& html) const {
    WriteWholeFile(ProgramDir() / "res" / name, html);
}

void CClientFolder::WriteProgramFile(const std::string& name, const std::string& text) const {
    WriteWholeFile(ProgramDir() / name, text);
}

void CClientFolder::WriteConfig(const std::string& text) const {
    fs::create_directories(UserDataDir());
    WriteWholeFile(UserDataDir() / "config.ini", text);
}

std::string CClientFolder::ReadConfig() const {
    return ReadWholeFile(UserDataDir() / "config.ini");
}

std::string CClientFolder::ConfigValue(const std::string& key) const {
    for (const std::string& line : Lines(ReadConfig())) {
        if (line.rfind(key + "=", 0) == 0) {
            std::string value = line.substr(key.size() + 1);
            while (!value.empty() && (value.back() == '\r' || value.back() == ' ')) {
                value.pop_back();
            }
            return value;
        }
    }
    return "";
}

std::string CClientFolder::ReadLog() const {
    return ReadWholeFile(UserDataDir() / "SongDeck.log");
}

void CClientFolder::SetEnvironment(const std::string& name, const std::string& value) {
    m_extraEnv.emplace_back(name, value);
}

pid_t CClientFolder::Start(const std::vector<std::string>& arguments) {
    const std::string program = (ProgramDir() / "SongDeck").string();
    std::vector<std::string> args{program};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    std::vector<std::pair<std::string, std::string>> overrides{
        {"SONGDECK_LOCAL_APPDATA", (m_root / "local").string()},
        {"SONGDECK_COMMON_APPDATA", (m_root / "common").string()},
        {"XDG_CONFIG_HOME", (m_root / "config").string()},
        {"XDG_RUNTIME_DIR", (m_root / "runtime").string()},
    };
    overrides.insert(overrides.end(), m_extraEnv.begin(), m_extraEnv.end());
    std::vector<std::string> env;
    // Without what this program's own GUI start set for its web views: each client chooses.
    gchar** inherited = platform::session::ChildEnvironment();
    for (gchar** entry = inherited; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto& [name, value] : overrides) {
            replaced = replaced || text.rfind(name + "=", 0) == 0;
        }
        if (!replaced) {
            env.push_back(text);
        }
    }
    g_strfreev(inherited);
    for (const auto& [name, value] : overrides) {
        if (!value.empty()) {
            env.push_back(name + "=" + value);
        }
    }
    std::vector<char*> envp;
    for (std::string& entry : env) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string output = (m_root / "client-output.txt").string();
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                     0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    const int result =
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (result != 0) {
        return -1;
    }
    m_started.push_back(pid);
    return pid;
}

bool CClientFolder::WaitForExit(pid_t pid, int timeoutMs, int* status) {
    int ended = 0;
    const bool done = PumpUntil(
        [&] {
            int st = 0;
            const pid_t r = waitpid(pid, &st, WNOHANG);
            if (r == pid) {
                ended = st;
                return true;
            }
            return r < 0;
        },
        timeoutMs);
    if (done) {
        std::erase(m_started, pid);
        if (status != nullptr) {
            *status = ended;
        }
    }
    return done;
}

bool CClientFolder::IsRunning(pid_t pid) {
    int st = 0;
    if (waitpid(pid, &st, WNOHANG) == pid) {
        std::erase(m_started, pid);
        return false;
    }
    return kill(pid, 0) == 0;
}

void CClientFolder::KillAll() {
    for (const pid_t pid : m_started) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    m_started.clear();
}

std::vector<std::string> WindowsOfProcess(pid_t pid, bool visibleOnly) {
    return Lines(RunCommand(std::string("xdotool search ") + (visibleOnly ? "--onlyvisible " : "") +
                            "--pid " + std::to_string(pid)));
}

std::string WindowName(const std::string& window) {
    std::string name = RunCommand("xdotool getwindowname " + window);
    while (!name.empty() && name.back() == '\n') {
        name.pop_back();
    }
    return name;
}

std::string VisibleWindowTitled(pid_t pid, const std::string& title) {
    for (const std::string& window : WindowsOfProcess(pid, true)) {
        if (WindowName(window) == title) {
            return window;
        }
    }
    return "";
}

bool WindowGeometry(const std::string& window, int* x, int* y, int* width, int* height) {
    // The frame as the window manager placed it: the client's position less the frame edges.
    const std::string info = RunCommand("xwininfo -id " + window);
    auto field = [&](const char* label, int* out) {
        const size_t at = info.find(label);
        if (at == std::string::npos) {
            return false;
        }
        *out = std::atoi(info.c_str() + at + std::strlen(label));
        return true;
    };
    return field("Absolute upper-left X:", x) && field("Absolute upper-left Y:", y) &&
           field("Width:", width) && field("Height:", height);
}

CNotificationRecorder::CNotificationRecorder() {
    m_file = fs::path(GuiWorkDir()) /
             ("notifications-" + std::to_string(getpid()) + "-" +
              std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + ".txt");
    const std::string command = "exec dbus-monitor \"interface='org.freedesktop.Notifications'," +
                                std::string("member='Notify'\" > '") + m_file.string() + "'";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    posix_spawn(&m_pid, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ);
    // dbus-monitor has subscribed once it has written its own name acquisition.
    PumpUntil([&] { return fs::exists(m_file) && fs::file_size(m_file) > 0; }, 5000);
}

CNotificationRecorder::~CNotificationRecorder() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
}

std::string CNotificationRecorder::Text() const {
    return ReadWholeFile(m_file);
}

int CNotificationRecorder::Count() const {
    const std::string text = Text();
    int count = 0;
    for (size_t at = text.find("member=Notify"); at != std::string::npos;
         at = text.find("member=Notify", at + 1)) {
        ++count;
    }
    return count;
}
