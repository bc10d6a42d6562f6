#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/environment.h"
#include "app/log.h"
#include "child_processes.h"
#include "platform/logger.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

void Log(void (Logger::*member)(const wchar_t*, va_list), const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    (Logger::instance().*member)(format, args);
    va_end(args);
}

// The line's start has the shape of "2026-01-31 12:00:00.000 " (9 stands for any digit) and
// the rest is the expected text.
bool StampedLine(const std::string& line, const std::string& text) {
    const std::string shape = "9999-99-99 99:99:99.999 ";
    if (line.size() != shape.size() + text.size()) {
        return false;
    }
    for (size_t i = 0; i < shape.size(); ++i) {
        bool digit = line[i] >= '0' && line[i] <= '9';
        if (shape[i] == '9' ? !digit : line[i] != shape[i]) {
            return false;
        }
    }
    return line.compare(shape.size(), text.size(), text) == 0;
}

std::vector<std::string> Lines(const fs::path& path) {
    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    return lines;
}

class LoggerFile : public ::testing::Test {
protected:
    void SetUp() override { Logger::instance().SetFile(m_dir.wide(L"test.log")); }
    void TearDown() override { Logger::instance().SetFile(L""); }
    fs::path LogPath() const { return m_dir.path() / "test.log"; }

    TempFolder m_dir;
};

TEST_F(LoggerFile, EachCallIsOneLineWithTimeAndLevel) {
    Log(&Logger::info, L"call %ls, value:%d", L"SetOptionData", 68);
    Log(&Logger::warning, L"%ls", L"\u542F\u52A8\u7A0B\u5E8F");
    Log(&Logger::fatal, L"%ls", L"two\nlines");
    std::vector<std::string> lines = Lines(LogPath());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(StampedLine(lines[0], "INFO call SetOptionData, value:68")) << lines[0];
    EXPECT_TRUE(StampedLine(lines[1], "WARNING \xE5\x90\xAF\xE5\x8A\xA8\xE7\xA8\x8B\xE5\xBA\x8F"))
        << lines[1];
    // A line break inside the text cannot start a line of its own.
    EXPECT_TRUE(StampedLine(lines[2], "FATAL two lines")) << lines[2];
}

TEST_F(LoggerFile, WriteLogRoutesLevelsAndIgnoresOthers) {
    WriteLog(info, L"%ls", L"100% of page text %s %n");
    WriteLog(warning, L"w");
    WriteLog(static_cast<LogLevel>(3), L"never");
    std::vector<std::string> lines = Lines(LogPath());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find(" INFO 100% of page text %s %n"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" WARNING w"), std::string::npos) << lines[1];
}

TEST_F(LoggerFile, LongLinesAreWrittenWhole) {
    std::wstring text(5000, L'x');
    Log(&Logger::info, L"%ls", text.c_str());
    std::vector<std::string> lines = Lines(LogPath());
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), 24 + 5 + 5000u);
}

TEST_F(LoggerFile, TheFileIsRotatedOnceItWouldPassItsBound) {
    Logger::instance().SetFile(m_dir.wide(L"test.log"), 300);
    for (int i = 0; i < 20; ++i) {
        Log(&Logger::info, L"line %02d %ls", i, L"padding padding");
    }
    EXPECT_LE(fs::file_size(LogPath()), 300u);
    EXPECT_LE(fs::file_size(m_dir.path() / "test.log.1"), 300u);
    std::vector<std::string> current = Lines(LogPath());
    std::vector<std::string> rotated = Lines(m_dir.path() / "test.log.1");
    ASSERT_FALSE(current.empty());
    ASSERT_FALSE(rotated.empty());
    EXPECT_NE(current.back().find("line 19"), std::string::npos);
    // The rotated file holds the lines just before the current ones.
    int firstCurrent = std::stoi(current.front().substr(current.front().find("line ") + 5, 2));
    EXPECT_NE(rotated.back().find("line " + std::to_string(100 + firstCurrent - 1).substr(1)),
              std::string::npos);
    EXPECT_FALSE(fs::exists(m_dir.path() / "test.log.2"));
}

TEST_F(LoggerFile, TwoThreadsNeverInterleaveALine) {
    auto writer = [](wchar_t letter) {
        std::wstring text(300, letter);
        for (int i = 0; i < 200; ++i) {
            Log(&Logger::info, L"%ls", text.c_str());
        }
    };
    std::thread a(writer, L'a');
    std::thread b(writer, L'b');
    a.join();
    b.join();
    std::vector<std::string> lines = Lines(LogPath());
    ASSERT_EQ(lines.size(), 400u);
    for (const std::string& line : lines) {
        std::string text = line.substr(line.find("INFO ") + 5);
        ASSERT_TRUE(text == std::string(300, 'a') || text == std::string(300, 'b')) << line;
    }
}

TEST_F(LoggerFile, TheCommandFormatsTakeWideText) {
    WriteLog(info, L"call %s, DataName:%s, ", L"GetOptionData", L"HOTKEY_VK");
    WriteLog(info, L"call %s, URL:%s, Width:%d, Height:%d", L"ShowMessageWnd",
             L"http://127.0.0.1/\u6B4C", 320, 240);
    WriteLog(info, L"call %s, return:%f", L"GetAppVersion", 1.5);
    WriteLog(info, L"%ls|%-4s|%.2s|%c|%hs|%S|%I64d", L"wide", L"ab", L"xyz", L'\u6B4C', "narrow",
             "upper", 10000000003LL);
    std::vector<std::string> lines = Lines(LogPath());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_TRUE(StampedLine(lines[0], "INFO call GetOptionData, DataName:HOTKEY_VK, ")) << lines[0];
    EXPECT_TRUE(StampedLine(lines[1],
                            "INFO call ShowMessageWnd, URL:http://127.0.0.1/\xE6\xAD\x8C, "
                            "Width:320, Height:240"))
        << lines[1];
    EXPECT_TRUE(StampedLine(lines[2], "INFO call GetAppVersion, return:1.500000")) << lines[2];
    EXPECT_TRUE(StampedLine(lines[3], "INFO wide|ab  |xy|\xE6\xAD\x8C|narrow|upper|10000000003"))
        << lines[3];
}

#ifndef _WIN32
// Windows has no file-size limit of a process to play a full disk with.
TEST_F(LoggerFile, ALineCutShortDoesNotSwallowTheNext) {
    Log(&Logger::info, L"%ls", L"before");
    // A full disk, played by a file-size limit in a child: the long line is cut short.
    ASSERT_TRUE(RunChildren(1, "", [this](int, const std::string&) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        rlimit tight = limit;
        tight.rlim_cur = fs::file_size(LogPath()) + 40;
        setrlimit(RLIMIT_FSIZE, &tight);
        Log(&Logger::info, L"%ls", std::wstring(200, L'x').c_str());
        setrlimit(RLIMIT_FSIZE, &limit);
        Log(&Logger::info, L"%ls", L"after");
        return 0;
    }));
    std::vector<std::string> lines = Lines(LogPath());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(StampedLine(lines[0], "INFO before"));
    EXPECT_LT(lines[1].size(), 60u);
    EXPECT_TRUE(StampedLine(lines[2], "INFO after")) << lines[2];
}
#endif

TEST_F(LoggerFile, ProcessesRotateTogetherAndKeepTheNewestLines) {
    constexpr int kWriters = 4;
    constexpr int kLines = 400;
    constexpr size_t kMaxBytes = 8192;
    Logger::instance().SetFile(m_dir.wide(L"test.log"), kMaxBytes);
    const std::string log = WideToUtf8(m_dir.wide(L"test.log"));
    ASSERT_TRUE(RunChildren(kWriters, log, [](int writer, const std::string& path) {
        Logger::instance().SetFile(Utf8ToWide(path), kMaxBytes);
        // Paced, so that the writers overlap for the whole run and rotate many times.
        for (int i = 0; i < kLines; ++i) {
            Log(&Logger::info, L"writer %d line %04d padding padding", writer, i);
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return 0;
    }));
    EXPECT_LE(fs::file_size(LogPath()), kMaxBytes);
    // The rotated file was full when it was moved.
    EXPECT_LE(fs::file_size(m_dir.path() / "test.log.1"), kMaxBytes);
    EXPECT_GT(fs::file_size(m_dir.path() / "test.log.1"), kMaxBytes - 100);
    // Every writer's lines in the two files, oldest first, are its newest lines without a gap
    // (a writer that a busy machine let finish early may have rotated out altogether).
    std::vector<std::string> lines = Lines(m_dir.path() / "test.log.1");
    std::vector<std::string> current = Lines(LogPath());
    lines.insert(lines.end(), current.begin(), current.end());
    ASSERT_GT(lines.size(), kMaxBytes / 100);
    std::vector<std::vector<int>> seen(kWriters);
    for (const std::string& line : lines) {
        int writer = -1, number = -1;
        ASSERT_EQ(std::sscanf(line.c_str() + 24, "INFO writer %d line %d", &writer, &number), 2)
            << line;
        ASSERT_TRUE(writer >= 0 && writer < kWriters) << line;
        seen[writer].push_back(number);
    }
    for (int writer = 0; writer < kWriters; ++writer) {
        if (seen[writer].empty()) {
            continue;
        }
        EXPECT_EQ(seen[writer].back(), kLines - 1);
        for (size_t i = 1; i < seen[writer].size(); ++i) {
            ASSERT_EQ(seen[writer][i], seen[writer][i - 1] + 1) << "writer " << writer;
        }
    }
}

TEST(LoggerDefault, WriteLogGoesToTheUserDataFolder) {
    // The process-wide logger opens SongDeck.log in the user data folder on first use (the
    // hermetic test environment points that folder into a temporary one).
    Logger::instance().SetFile(L"");
    WriteLog(info, L"%ls", L"first line");
    fs::path log = fs::path(GetUserDataDir()) / "SongDeck.log";
    if (!Logger::instance().HasFile()) {
        GTEST_SKIP() << "the logger was already set up in this process";
    }
    std::vector<std::string> lines = Lines(log);
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.back().find("INFO first line"), std::string::npos);
}

}  // namespace
