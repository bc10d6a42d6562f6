#include <gtest/gtest.h>

#include <set>
#include <string>

#include "config/ini_section.h"
#include "child_processes.h"
#include "platform/private_profile.h"
#include "platform/text_encoding.h"
#include "temp_folder.h"

namespace {

class PrivateProfile : public ::testing::Test {
protected:
    std::wstring Read(const wchar_t* section, const wchar_t* key, DWORD size = 256,
                      DWORD* count = nullptr) {
        std::wstring buffer(size, L'#');
        DWORD n = ReadPrivateProfileString(section, key, L"", buffer.data(), size, m_path.c_str());
        if (count != nullptr) {
            *count = n;
        }
        EXPECT_EQ(buffer[n], L'\0');
        return buffer.substr(0, n);
    }
    // The client's writer: on Windows the system's own function writes line breaks into the
    // file and keeps no lock across processes, so the client never calls it.
    static BOOL Write(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR path) {
        const PROFILE_WRITE write{section, key, value};
        return WritePrivateProfileBatch(&write, 1, path);
    }
    void WriteFile(const std::string& bytes) { m_dir.Write("test.ini", bytes); }
    std::string FileText() const { return m_dir.Read("test.ini"); }

    TempFolder m_dir;
    std::wstring m_path = m_dir.wide(L"test.ini");
};

TEST_F(PrivateProfile, MissingFileKeyOrEmptyValueReadsNothing) {
    DWORD count = 99;
    EXPECT_EQ(Read(L"S", L"K", 256, &count), L"");
    EXPECT_EQ(count, 0u);
    WriteFile("[S]\nEMPTY=\nOTHER=1\n");
    EXPECT_EQ(Read(L"S", L"EMPTY", 256, &count), L"");
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Read(L"S", L"MISSING", 256, &count), L"");
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(Read(L"T", L"OTHER", 256, &count), L"");
    EXPECT_EQ(count, 0u);

    wchar_t buffer[8];
    EXPECT_EQ(ReadPrivateProfileString(L"S", L"MISSING", L"dflt", buffer, 8, m_path.c_str()), 4u);
    EXPECT_STREQ(buffer, L"dflt");
}

TEST_F(PrivateProfile, NamesAreCaseInsensitiveFirstMatchWinsValuesTrimmed) {
    WriteFile(
        "; comment\r\n"
        "[Client]\r\n"
        "  Key =  first value \t\r\n"
        "key=second\r\n"
        "[CLIENT]\r\n"
        "other=in the second section\r\n");
    EXPECT_EQ(Read(L"client", L"KEY"), L"first value");
    // Only the first section of a name counts.
    EXPECT_EQ(Read(L"CLIENT", L"OTHER"), L"");
}

TEST_F(PrivateProfile, ReadsAreCutToTheBufferAndReportTheCount) {
    WriteFile("[S]\nK=0123456789\n");
    DWORD count = 0;
    EXPECT_EQ(Read(L"S", L"K", 5, &count), L"0123");
    EXPECT_EQ(count, 4u);
    wchar_t none[1] = {L'#'};
    EXPECT_EQ(ReadPrivateProfileString(L"S", L"K", L"", none, 0, m_path.c_str()), 0u);
    EXPECT_EQ(none[0], L'#');
}

TEST_F(PrivateProfile, WritesCreateTheFileAndSectionAndKeepOtherLines) {
    ASSERT_TRUE(Write(L"A", L"K1", L"v1", m_path.c_str()));
    EXPECT_EQ(FileText(), "[A]\nK1=v1\n");

    WriteFile("; keep me\r\n[A]\r\nK1=old\r\n\r\n[B]\r\nX=1\r\n");
    ASSERT_TRUE(Write(L"a", L"k1", L"new", m_path.c_str()));
    ASSERT_TRUE(Write(L"A", L"K2", L"two", m_path.c_str()));
    ASSERT_TRUE(Write(L"C", L"Y", L"3", m_path.c_str()));
    EXPECT_EQ(FileText(),
              "; keep me\r\n[A]\r\nk1=new\r\nK2=two\r\n\r\n[B]\r\nX=1\r\n[C]\r\nY=3\r\n");
}

TEST_F(PrivateProfile, NullValueDeletesTheKeyAndNullKeyTheSection) {
    WriteFile("[A]\nK=1\nL=2\n[B]\nM=3\n");
    ASSERT_TRUE(Write(L"A", L"K", nullptr, m_path.c_str()));
    EXPECT_EQ(FileText(), "[A]\nL=2\n[B]\nM=3\n");
    ASSERT_TRUE(Write(L"B", nullptr, nullptr, m_path.c_str()));
    EXPECT_EQ(FileText(), "[A]\nL=2\n");

    // Deleting from a file that does not exist creates none.
    std::wstring other = m_dir.wide(L"other.ini");
    EXPECT_TRUE(Write(L"A", L"K", nullptr, other.c_str()));
    EXPECT_FALSE(std::filesystem::exists(m_dir.path() / "other.ini"));
}

TEST_F(PrivateProfile, TextIsCodePage936OnDisk) {
    ASSERT_TRUE(Write(L"S", L"\u6B4C", L"\u4E2D\u6587", m_path.c_str()));
    EXPECT_EQ(FileText(), "[S]\n\xB8\xE8=\xD6\xD0\xCE\xC4\n");
    EXPECT_EQ(Read(L"S", L"\u6B4C"), L"\u4E2D\u6587");
}

TEST_F(PrivateProfile, TextThatWouldBreakTheFileIsRefused) {
    WriteFile("[S]\nK=1\n");
    // A value with a line break would plant a section of its own.
    EXPECT_FALSE(Write(L"S", L"K", L"x\n[S]\nK=evil", m_path.c_str()));
    EXPECT_FALSE(Write(L"S", L"A=B", L"1", m_path.c_str()));
    EXPECT_FALSE(Write(L"S", L"[T]", L"1", m_path.c_str()));
    EXPECT_FALSE(Write(L"S]x", L"K", L"1", m_path.c_str()));
    EXPECT_EQ(FileText(), "[S]\nK=1\n");
}

TEST_F(PrivateProfile, WriteIntoAMissingFolderFails) {
    std::wstring path = m_dir.wide(L"missing/test.ini");
    EXPECT_FALSE(Write(L"S", L"K", L"1", path.c_str()));
}

TEST_F(PrivateProfile, IniSectionReadsIntegersAsWtoiDoes) {
    WriteFile(
        "[S]\nEMPTY=\nTEXT=abc\nBIG=65604\nNEG= -12xyz\nHUGE=99999999999\nSPACE=\t+7\n"
        "LONG=" +
        std::string(1500, 'z') + "\n");
    CIniSection ini(m_path, L"S");
    EXPECT_EQ(ini.ReadInt(L"EMPTY", 68), 68);
    EXPECT_EQ(ini.ReadInt(L"MISSING", 5), 5);
    EXPECT_EQ(ini.ReadInt(L"TEXT", 68), 0);
    EXPECT_EQ(ini.ReadInt(L"BIG", 0), 65604);
    EXPECT_EQ(ini.ReadInt(L"NEG", 0), -12);
    EXPECT_EQ(ini.ReadInt(L"HUGE", 0), 2147483647);
    EXPECT_EQ(ini.ReadInt(L"SPACE", 0), 7);
    EXPECT_EQ(ini.ReadString(L"LONG", L""), std::wstring(1023, L'z'));
    EXPECT_EQ(ini.ReadString(L"EMPTY", L"dflt"), L"dflt");

    EXPECT_TRUE(ini.WriteInt(L"NEW", -1));
    EXPECT_EQ(ini.ReadString(L"NEW", L""), L"-1");
}

TEST_F(PrivateProfile, OnePairOfMatchingQuotesAroundAValueIsDropped) {
    WriteFile(
        "[S]\nq=\"quoted\"\nVK=\"65\"\nsingle='x y'\nmixed=\"a'\nlone=\"\ninner=a\"b\"\n"
        "twice=\"\"two\"\"\n");
    EXPECT_EQ(Read(L"S", L"q"), L"quoted");
    EXPECT_EQ(CIniSection(m_path, L"S").ReadInt(L"VK", 0), 65);
    EXPECT_EQ(Read(L"S", L"single"), L"x y");
    EXPECT_EQ(Read(L"S", L"mixed"), L"\"a'");
    EXPECT_EQ(Read(L"S", L"lone"), L"\"");
    EXPECT_EQ(Read(L"S", L"inner"), L"a\"b\"");
    EXPECT_EQ(Read(L"S", L"twice"), L"\"two\"");
}

TEST_F(PrivateProfile, OtherLinesSurviveAWriteByteForByte) {
    // User-defined codes, 0x80, 0xFF, bytes that form no character and a last line without a
    // line end: a write of another key leaves all of them as they were.
    const std::string other =
        "; \xAA\xA1\xFE\xFE\xA1\x40 \x80\xFF \xA2\xAB|\xA9\x5D \x81\r\n"
        "[S]\r\n"
        "keep=\xD6\xD0\xA7\xA0\xA9\x5D\xFF\x81\r\n"
        "[T]\r\n"
        "last=\xF8\xF8\x80";
    WriteFile(other);
#ifdef _WIN32
    // The system's table of code page 936 reads bytes that form no character its own way.
    EXPECT_EQ(Read(L"S", L"keep"), L"\u4E2D\uE765\uE7E4\uF8F5\uFFFD");
#else
    EXPECT_EQ(Read(L"S", L"keep"), L"\u4E2D\uE765\uFFFD]\uF8F5\uFFFD");
#endif
    ASSERT_TRUE(Write(L"S", L"new", L"\uE000\u20AC", m_path.c_str()));
    EXPECT_EQ(FileText(),
              "; \xAA\xA1\xFE\xFE\xA1\x40 \x80\xFF \xA2\xAB|\xA9\x5D \x81\r\n"
              "[S]\r\n"
              "keep=\xD6\xD0\xA7\xA0\xA9\x5D\xFF\x81\r\n"
              "new=\xAA\xA1\x80\r\n"
              "[T]\r\n"
              "last=\xF8\xF8\x80");
}

TEST_F(PrivateProfile, ABatchLandsWholeOrNotAtAll) {
    WriteFile("[A]\nK=old\n");
    PROFILE_WRITE refused[] = {{L"A", L"K", L"new"}, {L"B", L"L", L"two\nlines"}};
    EXPECT_FALSE(WritePrivateProfileBatch(refused, 2, m_path.c_str()));
    EXPECT_EQ(FileText(), "[A]\nK=old\n");
    PROFILE_WRITE both[] = {{L"A", L"K", L"new"}, {L"B", L"L", L"2"}, {L"A", L"gone", nullptr}};
    EXPECT_TRUE(WritePrivateProfileBatch(both, 3, m_path.c_str()));
    EXPECT_EQ(FileText(), "[A]\nK=new\n[B]\nL=2\n");
}

TEST_F(PrivateProfile, WritersInSeveralProcessesKeepEachOthersKeys) {
    // Every process writes keys of its own, each in its own read-modify-write.
    constexpr int kWriters = 4;
    constexpr int kKeys = 25;
    ASSERT_TRUE(RunChildren(kWriters, WideToUtf8(m_path), [](int writer, const std::string& file) {
        const std::wstring path = Utf8ToWide(file);
        for (int i = 0; i < kKeys; ++i) {
            std::wstring key = L"w" + std::to_wstring(writer) + L"k" + std::to_wstring(i);
            if (!Write(L"S", key.c_str(), std::to_wstring(i).c_str(), path.c_str())) {
                return 1;
            }
        }
        return 0;
    }));
    int missing = 0;
    for (int writer = 0; writer < kWriters; ++writer) {
        for (int i = 0; i < kKeys; ++i) {
            std::wstring key = L"w" + std::to_wstring(writer) + L"k" + std::to_wstring(i);
            missing += Read(L"S", key.c_str()) != std::to_wstring(i);
        }
    }
    EXPECT_EQ(missing, 0) << "of " << kWriters * kKeys << " keys";
}

}  // namespace
