// One running client, with real processes: the probe program beside this test is a client
// stand-in that takes the running client's place as the client does, or sends its command to
// the primary.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "app/environment.h"
#include "platform/module.h"
#include "platform/single_instance.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

extern char** environ;

namespace {

using platform::SingleInstance;
using Clock = std::chrono::steady_clock;
constexpr auto kDeadline = std::chrono::seconds(10);

std::string ProbePath() {
    const std::filesystem::path self = GetModulePath(nullptr);
    return (self.parent_path() / "songdeck_instance_probe").string();
}

// A private runtime folder, a cache folder and a name of its own for each test, so tests
// never meet.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Redirect("XDG_RUNTIME_DIR", m_runtime.path().string());
        Redirect("XDG_CACHE_HOME", m_cache.path().string());
        static int counter = 0;
        m_name = "sdtest-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
        m_log = (m_logs.path() / "events.log").string();
    }
    void TearDown() override {
        for (pid_t pid : m_children) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        for (const auto& [name, value] : m_saved) {
            if (value.empty()) {
                unsetenv(name.c_str());
            } else {
                setenv(name.c_str(), value.c_str(), 1);
            }
        }
    }
    void Redirect(const std::string& name, const std::string& value) {
        m_saved.emplace_back(name, getenv(name.c_str()) ? getenv(name.c_str()) : "");
        setenv(name.c_str(), value.c_str(), 1);
    }

    pid_t Spawn(const std::vector<std::string>& args) {
        std::vector<std::string> all{ProbePath()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        EXPECT_EQ(0, posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ))
            << "cannot start " << argv[0];
        m_children.push_back(pid);
        return pid;
    }
    pid_t Start() { return Spawn({"start", m_name, m_log}); }

    std::vector<std::string> LogLines() {
        std::istringstream text(m_logs.Read("events.log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(text, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    size_t CountStartingWith(const std::string& prefix) {
        const auto lines = LogLines();
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    }
    bool WaitForLog(const std::string& prefix, size_t count) {
        const auto end = Clock::now() + kDeadline;
        while (CountStartingWith(prefix) < count) {
            if (Clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    // True when the process ended within the deadline.
    bool WaitForExit(pid_t pid) {
        const auto end = Clock::now() + kDeadline;
        while (Clock::now() < end) {
            if (waitpid(pid, nullptr, WNOHANG) == pid) {
                m_children.erase(std::find(m_children.begin(), m_children.end(), pid));
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    SingleInstance::SendResult Send(const std::string& command, DWORD timeoutMs = 5000) {
        return SingleInstance::SendToPrimary(std::wstring(m_name.begin(), m_name.end()), command,
                                             timeoutMs);
    }
    std::string SocketPath() const { return (m_runtime.path() / (m_name + ".socket")).string(); }

    // The client's own log, where a client that may not start says why.
    static std::string ClientLog() {
        std::ifstream file(WideToUtf8(GetUserDataDir() + L"SongDeck.log"));
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    TempFolder m_runtime;
    TempFolder m_cache;
    TempFolder m_logs;
    std::string m_name;
    std::string m_log;
    std::vector<std::pair<std::string, std::string>> m_saved;
    std::vector<pid_t> m_children;
};

TEST_F(SingleInstanceTest, ClientsStartedTogetherLeaveExactlyOnePrimary) {
    constexpr size_t kClients = 4;
    for (size_t i = 0; i < kClients; ++i) {
        Start();
    }
    ASSERT_TRUE(WaitForLog("secondary", kClients - 1)) << "not every later client finished";
    EXPECT_EQ(1u, CountStartingWith("primary"));
    EXPECT_EQ(kClients - 1, CountStartingWith("got restore"))
        << "a later client did not reach the primary";

    ASSERT_EQ(SingleInstance::SendResult::Handled, Send("exit"));
    const auto lines = LogLines();
    const pid_t primary = std::stoi(std::find_if(lines.begin(), lines.end(), [](auto& l) {
                                        return l.rfind("primary ", 0) == 0;
                                    })->substr(8));
    EXPECT_TRUE(WaitForExit(primary)) << "the primary did not end on exit";
    // Everyone else had ended already.
    for (pid_t pid : std::vector<pid_t>(m_children)) {
        EXPECT_TRUE(WaitForExit(pid));
    }
}

TEST_F(SingleInstanceTest, ExitIsHandledBeforeTheSenderReturns) {
    const pid_t primary = Start();
    ASSERT_TRUE(WaitForLog("primary", 1));
    ASSERT_EQ(SingleInstance::SendResult::Handled, Send("exit"));
    EXPECT_EQ(1u, CountStartingWith("got exit")) << "the sender returned before the handler ran";
    EXPECT_TRUE(WaitForExit(primary));
    // Its socket went with it; nobody answers now, and that is told at once.
    EXPECT_FALSE(std::filesystem::exists(SocketPath()));
    EXPECT_EQ(SingleInstance::SendResult::NoPrimary, Send("restore", 60000));
}

TEST_F(SingleInstanceTest, KilledPrimaryDoesNotBlockTheNextStart) {
    const pid_t first = Start();
    ASSERT_TRUE(WaitForLog("primary", 1));
    kill(first, SIGKILL);
    ASSERT_TRUE(WaitForExit(first));
    ASSERT_TRUE(std::filesystem::exists(SocketPath())) << "expected the killed client's socket";

    EXPECT_EQ(SingleInstance::SendResult::NoPrimary, Send("exit", 60000));
    Start();
    ASSERT_TRUE(WaitForLog("primary", 2)) << "the next client did not become the primary";
    EXPECT_EQ(0u, CountStartingWith("secondary"));
    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("restore"));
    EXPECT_TRUE(WaitForLog("got restore", 1));
}

TEST_F(SingleInstanceTest, SilentOrOversizedSendersDoNotStopThePrimary) {
    Start();
    ASSERT_TRUE(WaitForLog("primary", 1));
    auto connect_ = [&] {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", SocketPath().c_str());
        EXPECT_EQ(0, connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)));
        return fd;
    };
    const int silent = connect_();
    const int oversized = connect_();
    const std::string flood(4096, 'x');
    (void)!send(oversized, flood.data(), flood.size(), MSG_NOSIGNAL);
    const int injected = connect_();
    const std::string bad = "exit; rm -rf ~\n";
    (void)!send(injected, bad.data(), bad.size(), MSG_NOSIGNAL);

    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("restore"));
    EXPECT_EQ(1u, CountStartingWith("got "))
        << "only the well-formed command may reach the handler";
    char answer[8];
    EXPECT_EQ(0, recv(injected, answer, sizeof(answer), 0)) << "a bad line must get no answer";
    for (int fd : {silent, oversized, injected}) {
        close(fd);
    }
    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("exit"));
}

TEST_F(SingleInstanceTest, AClientEndingWhileAskedLeavesItsPlaceToTheNextStartAlone) {
    const pid_t ending = Spawn({"start-ending", m_name, m_log});
    ASSERT_TRUE(WaitForLog("primary", 1));
    // Asked to show itself, the old client ends without an answer; the new start takes its
    // place rather than run without it.
    const pid_t next = Start();
    ASSERT_TRUE(WaitForLog("primary", 2)) << "the next start did not take the free place";
    EXPECT_TRUE(WaitForExit(ending));
    EXPECT_EQ(1u, CountStartingWith("got restore"));
    EXPECT_EQ(0u, CountStartingWith("secondary"));

    // So a third start finds it, and one exit ends the only client there is.
    Start();
    ASSERT_TRUE(WaitForLog("secondary", 1));
    EXPECT_EQ(2u, CountStartingWith("primary")) << "two clients run";
    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("exit"));
    EXPECT_TRUE(WaitForExit(next));
    EXPECT_EQ(SingleInstance::SendResult::NoPrimary, Send("restore"));
}

TEST_F(SingleInstanceTest, WithoutAPrivateRuntimeFolderOnlyAPrivateCacheFolderOfOursIsUsed) {
    chmod(m_runtime.path().c_str(), 0777);
    const std::filesystem::path folder = m_cache.path() / m_name;
    std::filesystem::create_directory(folder);
    chmod(folder.c_str(), 0777);
    Start();
    ASSERT_TRUE(WaitForLog("refused", 1)) << "a client ran in a folder others can write";
    EXPECT_NE(ClientLog().find("FATAL no private folder for the running client's lock"),
              std::string::npos);
    chmod(folder.c_str(), 0700);
    if (chown(folder.c_str(), 65534, 65534) == 0) {
        Start();
        ASSERT_TRUE(WaitForLog("refused", 2)) << "a client ran in another user's folder";
        EXPECT_EQ(SingleInstance::SendResult::NoPrimary, Send("exit"));
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "nothing may go into a planted folder";

    // Once the planted folder is gone, the client makes its own, and is found there.
    std::filesystem::remove_all(folder);
    Start();
    ASSERT_TRUE(WaitForLog("primary", 1));
    EXPECT_FALSE(std::filesystem::exists(SocketPath()));
    struct stat info {};
    ASSERT_EQ(0, stat(folder.c_str(), &info));
    EXPECT_EQ(0700u, info.st_mode & 0777);
    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("exit"));

    // A cache folder as deep as a long home gives still leaves room for the socket's address.
    const std::string cache = m_cache.path().string();
    ASSERT_LT(cache.size(), 74u);
    const std::string deep = cache + "/" + std::string(74 - cache.size(), 'd');
    setenv("XDG_CACHE_HOME", deep.c_str(), 1);
    Start();
    ASSERT_TRUE(WaitForLog("primary", 2)) << "no place below a cache folder of 75 characters";
    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("exit"));
}

}  // namespace
