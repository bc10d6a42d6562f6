#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>

#include "app/helpers.h"
#include "build_config.h"
#include "platform/files.h"
#include "temp_folder.h"

namespace {

TEST(MD5OfBuffer, GivesTheRfc1321Digests) {
    struct Vector {
        const char* text;
        const wchar_t* digest;
    };
    const Vector vectors[] = {
        {"", L"d41d8cd98f00b204e9800998ecf8427e"},
        {"a", L"0cc175b9c0f1b6a831c399e269772661"},
        {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         L"57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Vector& v : vectors) {
        EXPECT_EQ(MD5OfBuffer(v.text, std::strlen(v.text)), v.digest) << v.text;
    }
}

TEST(MD5OfFile, MatchesTheBufferDigestAndIsEmptyForEmptyOrMissingFiles) {
    TempFolder dir;
    dir.Write("empty.bin", "");
    EXPECT_EQ(MD5OfFile(dir.wide(L"empty.bin").c_str()), L"");
    EXPECT_EQ(MD5OfFile(dir.wide(L"missing.bin").c_str()), L"");
    EXPECT_EQ(MD5OfFile(nullptr), L"");

    // Larger than one read chunk, so the streamed digest covers several chunks.
    std::string big(200000, '\0');
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i * 7 + 3);
    }
    dir.Write("big.bin", big);
    EXPECT_EQ(MD5OfFile(dir.wide(L"big.bin").c_str()), MD5OfBuffer(big.data(), big.size()));
    dir.Write("abc.txt", "abc");
    EXPECT_EQ(MD5OfFile(dir.wide(L"abc.txt").c_str()), L"900150983cd24fb0d6963f7d28e17f72");
}

TEST(ModuleFile, NamesThisExecutableAndItsFolder) {
    std::wstring path = GetModuleFileName(nullptr);
#ifdef _WIN32
    wchar_t real[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(nullptr, real, MAX_PATH), 0u);
    EXPECT_EQ(path, real);
#else
    char real[4096];
    ssize_t n = readlink("/proc/self/exe", real, sizeof(real) - 1);
    ASSERT_GT(n, 0);
    real[n] = '\0';
    EXPECT_EQ(path, std::filesystem::path(real).wstring());
#endif
    // An address inside this program names the same file.
    EXPECT_EQ(GetModuleFileName(reinterpret_cast<HMODULE>(&MD5OfFile)), path);

    std::wstring folder = GetModuleDirectory(nullptr);
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), kPathSeparator);
    EXPECT_EQ(path.substr(0, folder.size()), folder);
}

TEST(ModuleFile, VersionIsTheStampedProjectVersion) {
    std::wstring expected = std::filesystem::path(SONGDECK_VERSION_TEXT).wstring();
    wchar_t buffer[32];
    DWORD length = 32;
    ASSERT_TRUE(GetModuleFileVersion(nullptr, buffer, &length));
    EXPECT_EQ(std::wstring(buffer), expected);
}

TEST(ModuleFile, VersionWithABufferOneTooShortReportsTheNeededLength) {
    std::wstring expected = std::filesystem::path(SONGDECK_VERSION_TEXT).wstring();
    const DWORD needed = static_cast<DWORD>(expected.size() + 1);
    wchar_t buffer[64];
    std::fill(buffer, buffer + 64, L'#');
    DWORD length = needed - 1;
    EXPECT_FALSE(GetModuleFileVersion(nullptr, buffer, &length));
    EXPECT_EQ(length, needed);
    // The caller's buffer was zeroed over its given length and nothing was copied.
    for (DWORD i = 0; i < needed - 1; ++i) {
        EXPECT_EQ(buffer[i], L'\0');
    }
    EXPECT_EQ(buffer[needed - 1], L'#');

    length = needed;
    EXPECT_TRUE(GetModuleFileVersion(nullptr, buffer, &length));
    EXPECT_EQ(std::wstring(buffer), expected);
}

TEST(ModuleFile, AModuleWithoutAStampHasNoVersion) {
    DWORD length = 32;
#ifndef _WIN32
    wchar_t buffer[32];
    // The C library is a module of this process that the build never stamped (on Windows every
    // system module carries a version resource).
    HMODULE libc = reinterpret_cast<HMODULE>(&std::fopen);
    EXPECT_NE(GetModuleFileName(libc), GetModuleFileName(nullptr));
    EXPECT_FALSE(GetModuleFileVersion(libc, buffer, &length));
#endif
    EXPECT_FALSE(GetModuleFileVersion(nullptr, nullptr, &length));
}

}  // namespace
