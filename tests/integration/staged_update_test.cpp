// Putting a staged update in place on the real file system: all files or none, the stage
// untouched unless everything went in, links and unsafe names refused.
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "app/helpers.h"
#include "platform/executable_suffix.h"
#include "platform/text_encoding.h"
#include "staged_update.h"
#include "unit/temp_folder.h"
#include "update/update_files.h"
#include "update_test_support.h"

namespace fs = std::filesystem;

namespace {

ManifestFile Listed(const std::wstring& name, const std::string& bytes = "") {
    ManifestFile file;
    file.name = name;
    file.digest = bytes.empty() ? L"" : MD5OfBuffer(bytes.data(), bytes.size());
    return file;
}

// A verifier that accepts the stage and gives the given files as the ones it checked.
StageVerifier Trusting(std::vector<ManifestFile> files) {
    return [files](const std::wstring&, std::vector<ManifestFile>& checked) {
        checked = files;
        return true;
    };
}
// The launcher's file names as the platform writes them (RunSongDeck.exe on Windows).
const std::string kLauncher = "RunSongDeck" + WideToUtf8(kExecutableSuffix);
const std::string kDeliveredLauncher = "RunSongDeck2" + WideToUtf8(kExecutableSuffix);

const StageVerifier kDistrusted = [](const std::wstring&, std::vector<ManifestFile>&) {
    return false;
};

class StagedUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(m_root.path() / "program");
        fs::create_directories(m_root.path() / "stage");
        WriteProgram("SongDeck", "old client");
        fs::permissions(m_root.path() / "program" / "SongDeck", fs::perms(0755));
        WriteProgram(kLauncher, "old launcher");
        fs::permissions(m_root.path() / "program" / kLauncher, fs::perms(0755));
        // As the system keeps it: Windows has no execute bit to keep.
        m_programMode = fs::status(m_root.path() / "program" / "SongDeck").permissions();
        m_launcherMode = fs::status(m_root.path() / "program" / kLauncher).permissions();
    }

    void WriteProgram(const std::string& name, const std::string& bytes) {
        m_root.Write("program/" + name, bytes);
    }
    void Stage(const std::vector<std::pair<std::string, std::string>>& files,
               const std::string& linkFolder = "files/") {
        std::vector<updatetest::ManifestFile> listed;
        m_staged.clear();
        for (const auto& [name, bytes] : files) {
            m_root.Write("stage/" + name, bytes);
            listed.push_back({linkFolder + name, updatetest::Md5Of(bytes), 0});
            m_staged.push_back(Listed(std::wstring(name.begin(), name.end()), bytes));
        }
        m_root.Write("stage/update.xml", updatetest::BuildManifest(10000020000, {}, listed));
        m_root.Write("stage/update.txt", "notes\r\n");
    }
    std::string Program(const std::string& name) const { return m_root.Read("program/" + name); }
    size_t StageEntries() const {
        return std::distance(fs::directory_iterator(m_root.path() / "stage"), {});
    }
    size_t ProgramEntries() const {
        return std::distance(fs::directory_iterator(m_root.path() / "program"), {});
    }
    CStagedUpdate Update() const {
        return CStagedUpdate(m_root.wide(L"stage/"), m_root.wide(L"program/"));
    }
    // The verifier of a good stage: it checked the files the test staged.
    StageVerifier Trusted() const { return Trusting(m_staged); }

    TempFolder m_root;
    std::vector<ManifestFile> m_staged;
    fs::perms m_programMode = fs::perms::none;
    fs::perms m_launcherMode = fs::perms::none;
};

TEST_F(StagedUpdateTest, VerifiedStageReplacesFilesKeepsTheirModeAndEmptiesTheStage) {
    Stage({{"SongDeck", "new client"}, {"libextra.so", "new library"}});
    // What a stopped apply may have left: a copy beside its target, and a target that is the
    // staged file itself (a hard link, as earlier launchers placed files).
    WriteProgram(".songdeck-new-libold.so", "a copy of an earlier update");
    fs::create_hard_link(m_root.path() / "stage" / "libextra.so",
                         m_root.path() / "program" / "libextra.so");
    EXPECT_EQ(Update().Apply(Trusted()), StageResult::kApplied);
    EXPECT_EQ(Program("SongDeck"), "new client");
    EXPECT_EQ(Program("libextra.so"), "new library");
    EXPECT_EQ(Program(kLauncher), "old launcher");
    EXPECT_EQ(fs::status(m_root.path() / "program" / "SongDeck").permissions(), m_programMode);
    EXPECT_TRUE(fs::exists(m_root.path() / "stage"));
    EXPECT_EQ(StageEntries(), 0u);
    EXPECT_EQ(ProgramEntries(), 3u) << "no temporary file is left behind";
    EXPECT_EQ(Update().Apply(Trusted()), StageResult::kNothingStaged);
}

TEST_F(StagedUpdateTest, StageThatDoesNotVerifyOrNamesUnsafeFilesIsLeftWhole) {
    Stage({{"SongDeck", "new client"}});
    EXPECT_EQ(Update().Apply(kDistrusted), StageResult::kRejected);
    EXPECT_EQ(Program("SongDeck"), "old client");
    EXPECT_EQ(StageEntries(), 3u);

    // Names that are no plain file of the stage are refused whatever a verifier says.
    for (const wchar_t* name :
         {L"..", L".", L"", L"update.xml", L"../SongDeck", L"x/SongDeck", L"missing"}) {
        EXPECT_EQ(Update().Apply(Trusting({Listed(L"SongDeck"), Listed(name)})),
                  StageResult::kRejected);
    }
    EXPECT_EQ(Program("SongDeck"), "old client");
    EXPECT_EQ(StageEntries(), 3u);
}

TEST_F(StagedUpdateTest, StagedLinkIsNeverFollowedIntoTheProgramFolder) {
    Stage({{"SongDeck", "new client"}});
    m_root.Write("secret", "not for the program folder");
    fs::remove(m_root.path() / "stage" / "SongDeck");
    fs::create_symlink(m_root.path() / "secret", m_root.path() / "stage" / "SongDeck");
    EXPECT_EQ(Update().Apply(Trusted()), StageResult::kRejected);
    EXPECT_EQ(Program("SongDeck"), "old client");
    EXPECT_TRUE(fs::is_symlink(m_root.path() / "stage" / "SongDeck"));
}

TEST_F(StagedUpdateTest, FileThatCannotBePlacedLeavesOldVersionAndStage) {
    Stage({{"SongDeck", "new client"}, {"libextra.so", "new library"}});
    // A folder where the second file's temporary copy must go: it can be neither removed
    // nor written over, as a full or failing disk would refuse it.
    fs::create_directories(m_root.path() / "program" / ".songdeck-new-libextra.so" / "busy");
    EXPECT_EQ(Update().Apply(Trusted()), StageResult::kFailed);
    EXPECT_EQ(Program("SongDeck"), "old client");
    EXPECT_FALSE(fs::exists(m_root.path() / "program" / "libextra.so"));
    EXPECT_FALSE(fs::exists(m_root.path() / "program" / ".songdeck-new-SongDeck"));
    EXPECT_EQ(StageEntries(), 4u);

    fs::remove_all(m_root.path() / "program" / ".songdeck-new-libextra.so");
    EXPECT_EQ(Update().Apply(Trusted()), StageResult::kApplied) << "the next start completes it";
    EXPECT_EQ(Program("libextra.so"), "new library");
}

#ifndef _WIN32
// A second file system is found at /dev/shm (on Windows it would be another drive).
TEST_F(StagedUpdateTest, StageOnAnotherFileSystemIsCopiedWhole) {
    struct stat tmp {};
    struct stat shm {};
    if (::stat(m_root.path().c_str(), &tmp) != 0 || ::stat("/dev/shm", &shm) != 0 ||
        tmp.st_dev == shm.st_dev) {
        GTEST_SKIP() << "no second file system beside the temporary folder";
    }
    char pattern[] = "/dev/shm/songdeck-stage-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const fs::path stage = pattern;
    std::ofstream(stage / "SongDeck", std::ios::binary) << "new client";
    std::ofstream(stage / "update.xml", std::ios::binary)
        << updatetest::BuildManifest(10000020000, {}, {{"files/SongDeck", "", 0}});
    EXPECT_EQ(CStagedUpdate(stage.wstring() + L"/", m_root.wide(L"program/"))
                  .Apply(Trusting({Listed(L"SongDeck", "new client")})),
              StageResult::kApplied);
    EXPECT_EQ(Program("SongDeck"), "new client");
    EXPECT_EQ(fs::status(m_root.path() / "program" / "SongDeck").permissions(), fs::perms(0755));
    EXPECT_TRUE(fs::is_empty(stage));
    fs::remove_all(stage);
}
#endif

TEST_F(StagedUpdateTest, StagedFileChangedAfterItsCheckIsNeverPlaced) {
    // Whatever the staged file becomes between the check and the copy, by a new file under its
    // name or by new bytes in place, only the checked bytes may reach the program folder.
    const std::vector<std::function<void(const fs::path&)>> changes{
        [&](const fs::path& staged) {
            m_root.Write("other", "other client");
            fs::rename(m_root.path() / "other", staged);
        },
        [](const fs::path& staged) { std::ofstream(staged, std::ios::binary) << "other client"; },
    };
    for (const auto& change : changes) {
        Stage({{"libextra.so", "new library"}, {"SongDeck", "new client"}});
        const StageVerifier checkThenChange = [&](const std::wstring&,
                                                  std::vector<ManifestFile>& checked) {
            checked = m_staged;
            change(m_root.path() / "stage" / "SongDeck");
            return true;
        };
        EXPECT_EQ(Update().Apply(checkThenChange), StageResult::kRejected);
        EXPECT_EQ(Program("SongDeck"), "old client");
        EXPECT_FALSE(fs::exists(m_root.path() / "program" / "libextra.so"));
        EXPECT_EQ(ProgramEntries(), 2u) << "a copy was left beside its target";
        EXPECT_EQ(StageEntries(), 4u);
    }
}

TEST_F(StagedUpdateTest, DeliveredLauncherBecomesTheLauncherOnlyWhenTheUpdatePlacedIt) {
    // One that lies in the program folder without the update placing it stays as it is.
    WriteProgram(kDeliveredLauncher, "foreign launcher");
    Stage({{"SongDeck", "new client"}});
    EXPECT_EQ(Update().Apply(Trusted()), StageResult::kApplied);
    EXPECT_EQ(Program(kLauncher), "old launcher");
    fs::remove(m_root.path() / "program" / kDeliveredLauncher);

    Stage({{kDeliveredLauncher, "new launcher"}});
    EXPECT_EQ(Update().Apply(Trusted()), StageResult::kApplied);
    EXPECT_EQ(Program(kLauncher), "new launcher");
    EXPECT_FALSE(fs::exists(m_root.path() / "program" / kDeliveredLauncher));
    EXPECT_EQ(fs::status(m_root.path() / "program" / kLauncher).permissions(), m_launcherMode);
    EXPECT_FALSE(SwapDeliveredLauncher(m_root.wide(L"program/")));
    EXPECT_EQ(Program(kLauncher), "new launcher");
}

}  // namespace
