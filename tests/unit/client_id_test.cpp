#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "app/client_id.h"
#include "app/environment.h"
#include "child_processes.h"
#include "platform/text_encoding.h"
#include "scoped_environment.h"

namespace fs = std::filesystem;

namespace {

bool IsFreshId(const std::wstring& id) {
    return id.size() == 17 && id.find_first_not_of(L"0123456789abcdef") == std::wstring::npos &&
           id[16] == ClientIdCheckDigit(id.substr(0, 16));
}

TEST(ClientIdDigits, CheckDigitIsTheCodeSumModulo16) {
    // 4 × 'a' (97) + 4 × '9' (57) + 8 × '0' (48) = 1000, and 1000 mod 16 = 8.
    EXPECT_EQ(ClientIdCheckDigit(L"aaaa999900000000"), L'8');
    EXPECT_EQ(ClientIdCheckDigit(L"0000000000000000"), L'0');  // 768
    EXPECT_EQ(ClientIdCheckDigit(L"000000000000000f"), L'6');  // 822
}

TEST(ClientIdDigits, IdIsTheMd5OfTheUtf16TextOfTheGuid) {
    // {00112233-4455-6677-8899-AABBCCDDEEFF}: MD5 of its UTF-16LE bytes starts f25d5c842b830535.
    GUID guid{0x00112233, 0x4455, 0x6677, {0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}};
    EXPECT_EQ(MakeClientId(guid), L"f25d5c842b8305351");
}

class ClientId : public ::testing::Test {
protected:
    fs::path GuidFile() const { return m_env.SharedData() / "guid.dat"; }
    void WriteGuidFile(const std::string& text) {
        fs::create_directories(m_env.SharedData());
        m_env.root().Write("local/Tavnel/common/guid.dat", text);
    }
    std::string GuidFileText() const { return m_env.root().Read("local/Tavnel/common/guid.dat"); }

    ScopedEnvironment m_env;
};

TEST_F(ClientId, AnExistingFirstLineIsTakenAsItIs) {
    WriteGuidFile("abc\nsecond line\n");
    EXPECT_EQ(GetClientId(), L"abc\n");
    WriteGuidFile(std::string(70, 'z'));
    EXPECT_EQ(GetClientId(), std::wstring(62, L'z'));
}

TEST_F(ClientId, AMissingOrEmptyFileGetsANewIdThatThenStays) {
    std::wstring first = GetClientId();
    EXPECT_TRUE(IsFreshId(first)) << WideToUtf8(first);
    EXPECT_EQ(GuidFileText(), WideToUtf8(first));
    EXPECT_EQ(GetClientId(), first);

    WriteGuidFile("");
    std::wstring second = GetClientId();
    EXPECT_TRUE(IsFreshId(second));
    EXPECT_NE(second, first);
    EXPECT_EQ(GetClientId(), second);
}

TEST_F(ClientId, AFileThatCannotBeMadeGivesNullAndTheNextCallTriesAgain) {
    // A plain file where the shared folder should be: the folder cannot exist.
    fs::create_directories(m_env.SharedData().parent_path());
    m_env.root().Write("local/Tavnel/common", "in the way");
    EXPECT_EQ(GetClientId(), L"null");
    fs::remove(m_env.SharedData());
    std::wstring id = GetClientId();
    EXPECT_TRUE(IsFreshId(id));
}

TEST_F(ClientId, ThreadsRacingForTheFirstIdAgree) {
    std::vector<std::wstring> ids(8);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < ids.size(); ++i) {
        threads.emplace_back([&ids, i] { ids[i] = GetClientId(); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (const std::wstring& id : ids) {
        EXPECT_EQ(id, ids[0]);
    }
    EXPECT_TRUE(IsFreshId(ids[0]));
    EXPECT_EQ(GuidFileText(), WideToUtf8(ids[0]));
}

TEST_F(ClientId, ProcessesRacingForTheFirstIdAgree) {
    constexpr int kProcesses = 6;
    // Each child asks for the id in this test's folders and writes its answer there.
    const fs::path local = m_env.root().path() / "local";
    ASSERT_TRUE(RunChildren(
        kProcesses, local.string(),
        [](int index, const std::string& folder) {
            ScopedEnvironment::SetVariable("SONGDECK_LOCAL_APPDATA", folder.c_str());
            const std::string id = WideToUtf8(GetClientId());
            std::ofstream answer(fs::path(folder) / ("answer-" + std::to_string(index)),
                                 std::ios::binary);
            answer << id;
            return answer.flush() ? 0 : 3;
        },
        std::chrono::seconds(20)));
    std::set<std::string> ids;
    for (int i = 0; i < kProcesses; ++i) {
        ids.insert(m_env.root().Read("local/answer-" + std::to_string(i)));
    }
    ASSERT_EQ(ids.size(), 1u) << "two processes stored different ids";
    EXPECT_EQ(*ids.begin(), GuidFileText());
    EXPECT_TRUE(IsFreshId(Utf8ToWide(*ids.begin())));
}

}  // namespace
