// One running client, with real processes: the probe program beside this test is a client
// stand-in that takes the running client's place as the client does, or sends its command to
// the primary.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <list>
#include <sstream>
#include <thread>
#include <vector>

#include "app/environment.h"
#include "platform/module.h"
#include "platform/single_instance.h"
#include "platform/executable_suffix.h"
#include "platform/text_encoding.h"
#include "scoped_environment.h"
#include "temp_folder.h"
#include "test_process.h"

namespace {

using platform::SingleInstance;
using Clock = std::chrono::steady_clock;
constexpr auto kDeadline = std::chrono::seconds(10);

std::filesystem::path ProbePath() {
    const std::filesystem::path self = GetModulePath(nullptr);
    return self.parent_path() / (L"songdeck_instance_probe" + std::wstring(kExecutableSuffix));
}

// A private runtime folder, a cache folder and a name of its own for each test, so tests
// never meet.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_environment.Set("XDG_RUNTIME_DIR", m_runtime.path().string());
        m_environment.Set("XDG_CACHE_HOME", m_cache.path().string());
        static int counter = 0;
        m_name =
            "sdtest-" + std::to_string(TestProcess::CurrentId()) + "-" + std::to_string(++counter);
        m_log = (m_logs.path() / "events.log").string();
    }

    // A probe process, ended with the test.
    TestProcess& Spawn(const std::vector<std::string>& args) {
        TestProcess& probe = m_probes.emplace_back();
        EXPECT_TRUE(probe.Start(ProbePath(), args)) << "cannot start " << ProbePath().string();
        return probe;
    }
    TestProcess& Start() { return Spawn({"start", m_name, m_log}); }

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
    static bool WaitForExit(TestProcess& probe) {
        int status = 0;
        return probe.Wait(kDeadline, status);
    }
    SingleInstance::SendResult Send(const std::string& command, DWORD timeoutMs = 5000) {
        return SingleInstance::SendToPrimary(std::wstring(m_name.begin(), m_name.end()), command,
                                             timeoutMs);
    }
#ifndef _WIN32
    std::string SocketPath() const {
        return (m_runtime.path() / (m_name + ".socket")).string();
    }
#endif

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
    ScopedEnvironment m_environment;
    std::string m_name;
    std::string m_log;
    std::list<TestProcess> m_probes;
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

    // The primary ends on exit; everyone else had ended already.
    ASSERT_EQ(SingleInstance::SendResult::Handled, Send("exit"));
    for (TestProcess& probe : m_probes) {
        EXPECT_TRUE(WaitForExit(probe)) << "client " << probe.id() << " did not end";
    }
}

TEST_F(SingleInstanceTest, ExitIsHandledBeforeTheSenderReturns) {
    TestProcess& primary = Start();
    ASSERT_TRUE(WaitForLog("primary", 1));
    ASSERT_EQ(SingleInstance::SendResult::Handled, Send("exit"));
    EXPECT_EQ(1u, CountStartingWith("got exit")) << "the sender returned before the handler ran";
    EXPECT_TRUE(WaitForExit(primary));
    // Its socket went with it; nobody answers now, and that is told at once.
#ifndef _WIN32
    EXPECT_FALSE(std::filesystem::exists(SocketPath()));
#endif
    EXPECT_EQ(SingleInstance::SendResult::NoPrimary, Send("restore", 60000));
}

TEST_F(SingleInstanceTest, KilledPrimaryDoesNotBlockTheNextStart) {
    TestProcess& first = Start();
    ASSERT_TRUE(WaitForLog("primary", 1));
    first.Kill();
#ifndef _WIN32
    ASSERT_TRUE(std::filesystem::exists(SocketPath())) << "expected the killed client's socket";
#endif

    EXPECT_EQ(SingleInstance::SendResult::NoPrimary, Send("exit", 60000));
    Start();
    ASSERT_TRUE(WaitForLog("primary", 2)) << "the next client did not become the primary";
    EXPECT_EQ(0u, CountStartingWith("secondary"));
    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("restore"));
    EXPECT_TRUE(WaitForLog("got restore", 1));
}

#ifndef _WIN32
// The socket of the primary on Linux.
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
#endif

#ifdef _WIN32
// The primary's command window on Windows takes only short commands tagged as ours.
TEST_F(SingleInstanceTest, ForeignOrOversizedMessagesDoNotReachTheHandler) {
    Start();
    ASSERT_TRUE(WaitForLog("primary", 1));
    const HWND window = FindWindowExW(HWND_MESSAGE, nullptr, L"SongDeckInstanceCommands",
                                      (Utf8ToWide(m_name) + L".commands").c_str());
    ASSERT_NE(window, nullptr);
    std::string flood(4096, 'x');
    std::string exit = "exit";
    COPYDATASTRUCT oversized{0x53444B31, static_cast<DWORD>(flood.size()), flood.data()};
    COPYDATASTRUCT foreign{1, static_cast<DWORD>(exit.size()), exit.data()};
    for (COPYDATASTRUCT* data : {&oversized, &foreign}) {
        DWORD_PTR answer = TRUE;
        EXPECT_NE(SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(data),
                                      SMTO_NORMAL, 5000, &answer),
                  0);
        EXPECT_EQ(answer, static_cast<DWORD_PTR>(FALSE));
    }
    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("restore"));
    EXPECT_EQ(1u, CountStartingWith("got ")) << "only our command may reach the handler";
    EXPECT_EQ(SingleInstance::SendResult::Handled, Send("exit"));
}
#endif

TEST_F(SingleInstanceTest, AClientEndingWhileAskedLeavesItsPlaceToTheNextStartAlone) {
    TestProcess& ending = Spawn({"start-ending", m_name, m_log});
    ASSERT_TRUE(WaitForLog("primary", 1));
    // Asked to show itself, the old client ends without an answer; the new start takes its
    // place rather than run without it.
    TestProcess& next = Start();
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

#ifndef _WIN32
// The private folder of the lock and socket on Linux.
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
#endif

}  // namespace
