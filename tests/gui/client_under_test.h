// The real client in a test program folder of its own: the executable, the test's own pages in
// res/, and every folder the client writes to (user data, all-users data, autostart, the
// single-instance runtime folder) inside one temporary folder.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

class CClientFolder {
public:
    CClientFolder();
    ~CClientFolder();
    CClientFolder(const CClientFolder&) = delete;
    CClientFolder& operator=(const CClientFolder&) = delete;

    const std::filesystem::path& Root() const { return m_root; }
    std::filesystem::path ProgramDir() const { return m_root / "program"; }
    std::filesystem::path UserDataDir() const { return m_root / "local/Tavnel/SongDeck"; }
    std::filesystem::path CommonDataDir() const { return m_root / "common/Tavnel/SongDeck"; }

    // A page of res/ (UTF-8 HTML).
    void WritePage(const std::string& name, const std::string& html) const;
    void WriteConfig(const std::string& text) const;
    // A file beside the executable (test.ini ...).
    void WriteProgramFile(const std::string& name, const std::string& text) const;
    // config.ini as the client left it; empty when there is none.
    std::string ReadConfig() const;
    // The value of a key of [TAVNELDESKTOPCLIENT] in config.ini, or "" when it is missing.
    std::string ConfigValue(const std::string& key) const;
    std::string ReadLog() const;

    // Sets (or with an empty value removes) a variable for the clients started later.
    void SetEnvironment(const std::string& name, const std::string& value);
    // Starts the client with the arguments (argv[1] on); its output goes to a file of the folder.
    pid_t Start(const std::vector<std::string>& arguments);
    // Waits for the process to end; true with its exit status when it ended in time.
    bool WaitForExit(pid_t pid, int timeoutMs, int* status = nullptr);
    bool IsRunning(pid_t pid);
    // Ends the processes this folder started that still run (SIGKILL, by id).
    void KillAll();

private:
    std::filesystem::path m_root;
    std::vector<pid_t> m_started;
    std::vector<std::pair<std::string, std::string>> m_extraEnv;
};

// X windows of the process, by their _NET_WM_PID; only the mapped ones when visibleOnly.
std::vector<std::string> WindowsOfProcess(pid_t pid, bool visibleOnly);
// A visible window of the process titled exactly title; "" when there is none.
std::string VisibleWindowTitled(pid_t pid, const std::string& title);
std::string WindowName(const std::string& window);
// The window's frame on screen (x, y of its top-left corner, its width and height).
bool WindowGeometry(const std::string& window, int* x, int* y, int* width, int* height);

// Records the desktop notifications sent on the session bus while it lives.
class CNotificationRecorder {
public:
    CNotificationRecorder();
    ~CNotificationRecorder();
    // Everything recorded so far (dbus-monitor's text).
    std::string Text() const;
    // How many Notify calls were recorded.
    int Count() const;

private:
    std::filesystem::path m_file;
    pid_t m_pid = -1;
};
