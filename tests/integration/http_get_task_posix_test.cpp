// Downloads that meet what only POSIX systems have: the umask, a file-size limit, a ".part"
// replaced by a symbolic link or a pipe, and the proxy named by the environment.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include "app/helpers.h"
#include "http_get_task_fixture.h"

namespace testsupport {
namespace {

namespace fs = std::filesystem;

TEST_F(HttpGetTaskTest, APartLeftBehindStaysThisUsers) {
    // The stage is per user: the download is not opened to other users beyond the umask.
    std::string content = MakeContent(50000);
    auto shared = std::make_shared<const std::string>(content);
    server.On("/s.bin", [shared](const HttpTestRequest& request) {
        HttpTestReply reply = HttpTestReply::File(request, shared);
        reply.dropAfter = 10000;
        return reply;
    });
    const mode_t previous = ::umask(077);
    Sequence milestones = Download("/s.bin");
    ::umask(previous);
    EXPECT_EQ(AcceptedThenFailed(50000, HTTPGET_ERR_INCOMPLETE), milestones);
    const auto rw = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    EXPECT_EQ(rw, std::filesystem::status(PathOf("s.bin.part")).permissions());
}

TEST_F(HttpGetTaskTest, FailedWriteEndsTheDownloadAsAFileError) {
    // A file-size limit on the process makes every write past 50,000 bytes fail as a full disk
    // does, without filling a disk (a ".part" that is a link to /dev/full is no longer
    // followed).
    server.ServeFile("/a.bin", MakeContent(100000));
    rlimit saved{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    rlimit limited = saved;
    limited.rlim_cur = 50000;
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limited));

    Sequence posted = Download("/a.bin");

    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_EQ(AcceptedThenFailed(100000, HTTPGET_ERR_FILE), posted);
    for (LPARAM value : ProgressValues()) {
        EXPECT_LE(value, 50000);
    }
    EXPECT_FALSE(Exists("a.bin"));
}

TEST_F(HttpGetTaskTest, APartThatIsALinkOrAPipeIsRemovedAndTheDownloadStartsFromZero) {
    const std::string content = MakeContent(40000);
    server.ServeFile("/a.bin", content);
    server.ServeFile("/b.bin", content);
    const fs::path outside = PathOf("outside.txt");
    WriteFile("outside.txt", "keep me");
    fs::create_symlink(outside, PathOf("a.bin.part"));
    ASSERT_EQ(0, mkfifo(PathOf("b.bin.part").c_str(), 0600));

    EXPECT_EQ(Finished(40000), Download("/a.bin"));
    EXPECT_EQ(content, ReadFile("a.bin"));
    EXPECT_EQ("keep me", ReadFile("outside.txt"));
    EXPECT_FALSE(server.RequestsFor("/a.bin")[0].HasHeader("Range"));

    EXPECT_EQ(Finished(40000), Download("/b.bin"));
    EXPECT_EQ(content, ReadFile("b.bin"));
    EXPECT_TRUE(fs::is_regular_file(PathOf("b.bin")));
}

TEST_F(HttpGetTaskTest, WithoutAProxyTheSystemSettingsApplyUnlessAProxyWasUsedBefore) {
    // The same server is the origin (asked for a path) and the proxy (asked for the whole URL).
    server.ServeFile("/a.bin", "direct");
    server.ServeFile(server.Url("/a.bin"), "through the proxy");
    std::string proxy = server.Url("");
    const char* previous = std::getenv("http_proxy");
    std::string saved = previous != nullptr ? previous : "";
    setenv("http_proxy", proxy.c_str(), 1);

    EXPECT_EQ(HTTPGET_DONE, Download("/a.bin").back().first);
    std::string systemSetting = ReadFile("a.bin");
    std::wstring wideProxy = Utf8ToWide(proxy);
    task.Init(receiver.Window(), kMessageId, L"SongDeck test", wideProxy.c_str(), nullptr, nullptr);
    task.Init(receiver.Window(), kMessageId, L"SongDeck test", nullptr, nullptr, nullptr);
    EXPECT_EQ(HTTPGET_DONE, Download("/a.bin").back().first);
    std::string afterProxy = ReadFile("a.bin");

    if (previous != nullptr) {
        setenv("http_proxy", saved.c_str(), 1);
    } else {
        unsetenv("http_proxy");
    }
    EXPECT_EQ("through the proxy", systemSetting);
    EXPECT_EQ("direct", afterProxy);
}

}  // namespace
}  // namespace testsupport
