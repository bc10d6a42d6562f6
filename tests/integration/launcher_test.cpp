// The real launcher: it applies a staged update only when the stage verifies, starts the
// client beside it with an argument, and leaves a running client's files alone.
#include <functional>

#include <gtest/gtest.h>

#include "app/running_client.h"
#include "launcher_process.h"
#include "platform/single_instance.h"
#include "support/manifest_signer.h"
#include "update_test_support.h"

namespace {

using launchertest::LauncherFolder;
using testsupport::CTestSigningKey;
namespace fs = std::filesystem;

const std::string kNewClient = launchertest::ClientScript("new");

// A stage as the client's updater leaves it: the new client, the signed manifest, the notes.
void StageNewClient(const LauncherFolder& folder,
                    const CTestSigningKey& key = CTestSigningKey::Development()) {
    fs::create_directories(folder.Stage());
    const std::string manifest = updatetest::BuildManifest(
        10000020000, {}, {{"files/SongDeck", updatetest::Md5Of(kNewClient), 0}});
    folder.root().Write("common/Tavnel/SongDeck/update/SongDeck", kNewClient);
    folder.root().Write("common/Tavnel/SongDeck/update/update.xml", manifest);
    folder.root().Write("common/Tavnel/SongDeck/update/update.xml.sig", key.Sign(manifest));
    folder.root().Write("common/Tavnel/SongDeck/update/update.txt", "notes\r\n");
}

size_t StageEntries(const LauncherFolder& folder) {
    return std::distance(fs::directory_iterator(folder.Stage()), {});
}

TEST(LauncherTest, StartsTheClientBesideItWithAnArgumentOrItsOwn) {
    LauncherFolder folder;
    EXPECT_EQ(folder.Run(), "old run");
    EXPECT_EQ(folder.Run({"-hide"}), "old -hide");
}

TEST(LauncherTest, AVerifiedStageIsAppliedAndTheNewClientStarts) {
    LauncherFolder folder;
    StageNewClient(folder);
    // A file the signed manifest does not list never reaches the program folder.
    folder.root().Write("common/Tavnel/SongDeck/update/stray.so", "not listed");
    EXPECT_EQ(folder.Run(), "new run");
    EXPECT_FALSE(fs::exists(folder.Program() / "stray.so"));
    EXPECT_EQ(StageEntries(folder), 0u);
    EXPECT_EQ(folder.Run(), "new run") << "the new version stays";
}

TEST(LauncherTest, AStageThatDoesNotVerifyIsLeftWholeAndTheCurrentVersionStarts) {
    const std::vector<std::pair<const char*, std::function<void(const LauncherFolder&)>>> spoils{
        {"unsigned", [](const LauncherFolder& f) { fs::remove(f.Stage() / "update.xml.sig"); }},
        {"signed by a key the build does not trust",
         [](const LauncherFolder& f) { StageNewClient(f, CTestSigningKey::Generate()); }},
        {"incomplete", [](const LauncherFolder& f) { fs::remove(f.Stage() / "SongDeck"); }},
        {"a file cut short",
         [](const LauncherFolder& f) { fs::resize_file(f.Stage() / "SongDeck", 10); }},
        {"a file changed after staging",
         [](const LauncherFolder& f) {
             f.root().Write("common/Tavnel/SongDeck/update/SongDeck",
                            launchertest::ClientScript("bad"));
         }},
        {"the manifest changed after signing",
         [](const LauncherFolder& f) {
             std::string manifest = f.root().Read("common/Tavnel/SongDeck/update/update.xml");
             manifest.replace(manifest.find("10000020000"), 1, "2");
             f.root().Write("common/Tavnel/SongDeck/update/update.xml", manifest);
         }},
    };
    for (const auto& [what, spoil] : spoils) {
        LauncherFolder folder;
        StageNewClient(folder);
        spoil(folder);
        const size_t entries = StageEntries(folder);
        EXPECT_EQ(folder.Run(), "old run") << what;
        EXPECT_EQ(StageEntries(folder), entries) << what << ": the stage was touched";
    }
}

TEST(LauncherTest, WhileAClientRunsItsFilesStayAndTheLauncherOnlyHandsOver) {
    LauncherFolder folder;
    StageNewClient(folder);
    // The launcher of the test folder finds its client's place under the test's runtime folder.
    const fs::path runtime = folder.Runtime();
    const char* saved = getenv("XDG_RUNTIME_DIR");
    const std::string previous = saved ? saved : "";
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    {
        platform::SingleInstance running(kMainWndClassName);
        ASSERT_TRUE(running.TryBecomePrimary([](const std::string&) {}));
        EXPECT_EQ(folder.Run(), "old run");
        EXPECT_EQ(StageEntries(folder), 4u);
    }
    EXPECT_EQ(folder.Run(), "new run") << "applied once the client ended";
    if (saved) {
        setenv("XDG_RUNTIME_DIR", previous.c_str(), 1);
    } else {
        unsetenv("XDG_RUNTIME_DIR");
    }
}

}  // namespace
