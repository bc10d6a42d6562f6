#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <csignal>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "app/helpers.h"
#include "platform/files.h"
#include "temp_folder.h"
#ifdef _WIN32
#include "platform/win32/tree_removal.h"
#endif

namespace fs = std::filesystem;

namespace {

TEST(ReadTextFile, MissingEmptyAndNullGiveEmptyText) {
    TempFolder dir;
    dir.Write("empty.txt", "");
    EXPECT_EQ(ReadTextFile(nullptr), L"");
    EXPECT_EQ(ReadTextFile(dir.wide(L"missing.txt").c_str()), L"");
    EXPECT_EQ(ReadTextFile(dir.wide(L"empty.txt").c_str()), L"");
}

TEST(ReadTextFile, ConvertsFromCodePage936) {
    TempFolder dir;
    dir.Write("song.txt", "http://a/\xD6\xD0\r\n");
    EXPECT_EQ(ReadTextFile(dir.wide(L"song.txt").c_str()), L"http://a/\u4E2D\r\n");
}

TEST(WriteTextFile, WritesCodePage936AndRejectsNulls) {
    TempFolder dir;
    std::wstring path = dir.wide(L"out.txt");
    EXPECT_TRUE(WriteTextFile(L"\u4E2D=1", path.c_str()));
    EXPECT_EQ(dir.Read("out.txt"), "\xD6\xD0=1");
    EXPECT_FALSE(WriteTextFile(nullptr, path.c_str()));
    EXPECT_FALSE(WriteNarrowFile(nullptr, "x"));
    EXPECT_FALSE(WriteNarrowFile(path.c_str(), nullptr));
    EXPECT_EQ(dir.Read("out.txt"), "\xD6\xD0=1");
}

TEST(WriteNarrowFile, ReplacesTheFileWholeAndLeavesNoTemporaryFile) {
    TempFolder dir;
    std::wstring path = dir.wide(L"data.txt");
    dir.Write("data.txt", "old contents that are longer");
    ASSERT_TRUE(WriteNarrowFile(path.c_str(), "new"));
    EXPECT_EQ(dir.Read("data.txt"), "new");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

#ifndef _WIN32
// A full disk is played by a file-size limit of a child process, and root by its user id.
TEST(WriteNarrowFile, AWriteFailingHalfwayLeavesTheOldFileWhole) {
    TempFolder dir;
    dir.Write("keep.txt", "old");
    // A child process whose files may not grow past 10 bytes fails in the middle of the write,
    // whoever runs the test (permission bits do not stop root).
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{10, 10};
        setrlimit(RLIMIT_FSIZE, &limit);
        std::string text(4096, 'n');
        _exit(WriteNarrowFile(dir.wide(L"keep.txt").c_str(), text.c_str()) ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write was reported as success";
    EXPECT_EQ(dir.Read("keep.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
        << "the temporary file was left behind";
}

TEST(WriteNarrowFile, AMissingOrReadOnlyFolderFailsTheWrite) {
    TempFolder dir;
    EXPECT_FALSE(WriteNarrowFile(dir.wide(L"no/such/file.txt").c_str(), "x"));
    if (geteuid() == 0) {
        GTEST_SKIP() << "read-only folders do not stop root";
    }
    dir.Write("keep.txt", "old");
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(WriteNarrowFile(dir.wide(L"keep.txt").c_str(), "new"));
    fs::permissions(dir.path(), fs::perms::owner_all);
    EXPECT_EQ(dir.Read("keep.txt"), "old");
}
#endif

TEST(WriteNarrowFile, AReadOnlyFileStaysAsItIs) {
    TempFolder dir;
    dir.Write("ro.txt", "old");
    fs::permissions(dir.path() / "ro.txt", fs::perms::owner_read);
    EXPECT_FALSE(WriteNarrowFile(dir.wide(L"ro.txt").c_str(), "new"));
    EXPECT_EQ(dir.Read("ro.txt"), "old");
}

TEST(WriteNarrowFile, KeepsTheModeOfTheFileItReplaces) {
    TempFolder dir;
    dir.Write("mode.txt", "old");
    fs::permissions(dir.path() / "mode.txt", fs::perms::owner_read | fs::perms::owner_write);
    // As the system keeps it (0600 on POSIX; Windows reads every writable file as 0666).
    const fs::perms mode = fs::status(dir.path() / "mode.txt").permissions();
    ASSERT_TRUE(WriteNarrowFile(dir.wide(L"mode.txt").c_str(), "new"));
    EXPECT_EQ(fs::status(dir.path() / "mode.txt").permissions(), mode);
}

TEST(CreateDirectoryPath, CreatesUpToTheLastSeparator) {
    TempFolder dir;
    EXPECT_TRUE(CreateDirectoryPath(dir.wide(L"a/b/c").c_str()));
    EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "b"));
    EXPECT_FALSE(fs::exists(dir.path() / "a" / "b" / "c"));

    EXPECT_TRUE(CreateDirectoryPath(dir.wide(L"a/b/c/").c_str()));
    EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "b" / "c"));
}

TEST(CreateDirectoryPath, AcceptsBackslashesAndFailsAtAFile) {
    TempFolder dir;
    EXPECT_TRUE(CreateDirectoryPath(dir.wide(L"x\\y\\").c_str()));
    EXPECT_TRUE(fs::is_directory(dir.path() / "x" / "y"));

    dir.Write("file", "");
    EXPECT_FALSE(CreateDirectoryPath(dir.wide(L"file/sub/").c_str()));
    EXPECT_FALSE(CreateDirectoryPath(nullptr));
}

TEST(DeleteDirectoryTree, RemovesEverythingButDoesNotFollowLinks) {
    TempFolder dir;
    TempFolder outside;
    outside.Write("precious.txt", "keep");
    fs::create_directories(dir.path() / "tree" / "sub" / "deeper");
    dir.Write("tree/a.txt", "a");
    dir.Write("tree/sub/deeper/b.txt", "b");
    fs::create_directory_symlink(outside.path(), dir.path() / "tree" / "link");

    EXPECT_TRUE(DeleteDirectoryTree(dir.wide(L"tree").c_str()));
    EXPECT_FALSE(fs::exists(dir.path() / "tree"));
    EXPECT_EQ(outside.Read("precious.txt"), "keep");
    EXPECT_FALSE(DeleteDirectoryTree(dir.wide(L"tree").c_str()));
    // A folder that is itself a link goes as a link, with or without a trailing separator.
    for (const wchar_t* name : {L"folder-link", L"folder-link/"}) {
        fs::create_directory_symlink(outside.path(), dir.path() / "folder-link");
        EXPECT_TRUE(DeleteDirectoryTree(dir.wide(name).c_str()));
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path() / "folder-link")));
        EXPECT_EQ(outside.Read("precious.txt"), "keep");
    }
}

#ifdef _WIN32
// Wine makes no junction: the walk sees an ordinary folder as one through its attribute view.
TEST(DeleteDirectoryTree, AReparsePointIsRemovedAsItselfAndNeverEntered) {
    TempFolder dir;
    fs::create_directories(dir.path() / "tree" / "sub" / "junction");
    dir.Write("tree/sub/a.txt", "a");
    dir.Write("tree/sub/junction/precious.txt", "keep");
    const auto view = [](const std::wstring& path, DWORD listed) -> DWORD {
        return path.ends_with(L"\\junction") ? listed | FILE_ATTRIBUTE_REPARSE_POINT : listed;
    };
    // The junction's target is not empty, so only RemoveDirectoryW on the junction could go.
    EXPECT_FALSE(platform::win32::RemoveEntry(dir.wide(L"tree"), FILE_ATTRIBUTE_DIRECTORY, view));
    EXPECT_EQ(dir.Read("tree/sub/junction/precious.txt"), "keep");
    EXPECT_FALSE(fs::exists(dir.path() / "tree" / "sub" / "a.txt"));
    dir.Write("tree/sub/b.txt", "b");
    fs::permissions(dir.path() / "tree" / "sub" / "b.txt", fs::perms::owner_read);
    EXPECT_TRUE(DeleteDirectoryTree(dir.wide(L"tree\\").c_str()));
    EXPECT_FALSE(fs::exists(dir.path() / "tree"));
}
#endif

#ifndef _WIN32
// An entry that cannot be removed, even by root: its path is longer than the system allows.
TEST(DeleteDirectoryTree, AnEntryThatCannotBeRemovedDoesNotStopTheOthers) {
    TempFolder dir;
    std::string path = (dir.path() / "tree").string();
    ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
    std::vector<int> folders{::open(path.c_str(), O_RDONLY | O_DIRECTORY)};
    std::vector<std::string> names;
    // Nest folders until the deepest one's path is 3950 characters long.
    while (path.size() < 3950) {
        size_t room = 3950 - path.size() - 1;
        names.push_back(std::string(room > 255 ? 200 : room, 'd'));
        path += "/" + names.back();
        ASSERT_EQ(::mkdirat(folders.back(), names.back().c_str(), 0700), 0);
        folders.push_back(::openat(folders.back(), names.back().c_str(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(folders.back(), 0);
    }
    const std::string longName(200, 'x');  // its path exceeds PATH_MAX
    std::vector<std::string> files{longName};
    for (int i = 0; i < 20; ++i) {
        files.push_back("f" + std::to_string(i));
    }
    for (const std::string& name : files) {
        ::close(::openat(folders.back(), name.c_str(), O_WRONLY | O_CREAT, 0600));
    }

    EXPECT_FALSE(DeleteDirectoryTree(dir.wide(L"tree").c_str()));
    int left = 0;
    for (const std::string& name : files) {
        left += ::faccessat(folders.back(), name.c_str(), F_OK, 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(left, 1) << "only the file with the overlong path may stay";

    ::unlinkat(folders.back(), longName.c_str(), 0);
    for (size_t i = names.size(); i-- > 0;) {
        ::unlinkat(folders[i], names[i].c_str(), AT_REMOVEDIR);
    }
    for (int fd : folders) {
        ::close(fd);
    }
}
#endif

TEST(FileNameFromUrl, TakesTheLastSegmentMadeSafe) {
    EXPECT_EQ(FileNameFromUrl(L"http://host/dir/"), L"");
    EXPECT_EQ(FileNameFromUrl(L"http://host/dir/x?a=b/c"), L"x");
    EXPECT_EQ(FileNameFromUrl(L"http://host/dir/x|y#a/b"), L"x_y");
    EXPECT_EQ(FileNameFromUrl(L"no-slash"), L"");
    EXPECT_EQ(FileNameFromUrl(L"http://h/SongDeck.exe"), L"SongDeck.exe");

    std::wstring all = L"\"*/:<>?\\|ok";
    SanitizeFileName(all);
    EXPECT_EQ(all, L"_________ok");
}

}  // namespace
