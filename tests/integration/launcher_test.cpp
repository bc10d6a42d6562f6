// The real launcher: it applies a staged update only when the stage verifies, starts the
// client beside it with an argument, and leaves a running client's files alone.
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>

#include <gtest/gtest.h>

#include "app/running_client.h"
#include "launcher_process.h"
#include "platform/single_instance.h"
#include "support/manifest_signer.h"
#include "unit/scoped_environment.h"
#include "update_test_support.h"

namespace {

using launchertest::kClient;
using launchertest::kDeliveredLauncher;
using launchertest::kLauncher;
using launchertest::LauncherFolder;
using testsupport::CTestSigningKey;
namespace fs = std::filesystem;

const std::string kNewClient = launchertest::ClientScript("new");

struct StagedFile {
    std::string name;
    std::string bytes;
    long long version = 0;  // from which the client needs it; 0: always
};

// A stage as the client's updater leaves it: the files, the signed manifest, the notes.
void StageFiles(const LauncherFolder& folder, const std::vector<StagedFile>& files,
                const CTestSigningKey& key = CTestSigningKey::Development(),
                long long version = 10000020000) {
    fs::create_directories(folder.Stage());
    std::vector<updatetest::ManifestFile> listed;
    for (const StagedFile& file : files) {
        listed.push_back({"files/" + file.name, updatetest::Md5Of(file.bytes), file.version});
        folder.root().Write(launchertest::kStage + file.name, file.bytes);
    }
    const std::string manifest = updatetest::BuildManifest(version, {}, listed);
    folder.root().Write(launchertest::kStage + "update.xml", manifest);
    folder.root().Write(launchertest::kStage + "update.xml.sig", key.Sign(manifest));
    folder.root().Write(launchertest::kStage + "update.txt", "notes\r\n");
}

void StageNewClient(const LauncherFolder& folder,
                    const CTestSigningKey& key = CTestSigningKey::Development()) {
    StageFiles(folder, {{kClient, kNewClient}}, key);
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The launcher an update delivers: the real one with bytes of its own at the end.
std::string NewLauncher() {
    return ReadBytes(SONGDECK_LAUNCHER_PATH) + "new launcher";
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
    folder.root().Write(launchertest::kStage + "stray.so", "not listed");
    folder.root().Write("program/SongDeck.files", "");  // setup's record, UTF-16LE
    EXPECT_EQ(folder.Run(), "new run");
    std::string record;
    for (const char ch : kClient + "\r\n") {
        record += std::string{ch, '\0'};
    }
    EXPECT_EQ(folder.root().Read("program/SongDeck.files"), record) << "the apply was not recorded";
    EXPECT_FALSE(fs::exists(folder.Program() / "stray.so"));
    EXPECT_EQ(StageEntries(folder), 0u);
    EXPECT_TRUE(fs::exists(folder.Kept())) << "the replaced version was not kept";
    // A proven version's predecessor goes even while a client runs: no program file changes.
    ScopedEnvironment environment;
    environment.Set("XDG_RUNTIME_DIR", folder.Runtime().string());
    platform::SingleInstance running(kMainWndClassName);
    ASSERT_TRUE(running.TryBecomePrimary([](const std::string&) {}));
    EXPECT_EQ(folder.Run(), "new run") << "the new version stays";
    EXPECT_FALSE(fs::exists(folder.Kept())) << "a proven version's predecessor stays";
}

// A new version that fails to start is ended and the kept one put back, the added library
// removed; the refused version is recorded, and the user is told once.
TEST(LauncherTest, ANewVersionThatDoesNotStartIsRolledBackAndTheOldOneRuns) {
    for (const char* broken : {"broken-exit", "broken-hang", "broken-signal"}) {
        LauncherFolder folder;
        folder.SetStartWait(2);
        folder.root().Write("program/libold.so", "old library");
        StageFiles(folder, {{kClient, launchertest::MarkedStandIn(broken)},
                            {"libold.so", "new library"},
                            {"libadded.so", "added library"}});
        EXPECT_EQ(folder.Run(), "old run") << broken;
        EXPECT_EQ(folder.root().Read("program/libold.so"), "old library") << broken;
        EXPECT_FALSE(fs::exists(folder.Program() / "libadded.so")) << broken;
        EXPECT_FALSE(fs::exists(folder.Kept())) << broken;
        EXPECT_EQ(ReadBytes(folder.State() / "refused_version"), "10000020000\n") << broken;
        EXPECT_TRUE(fs::exists(folder.State() / "refused_notice")) << broken;
        EXPECT_EQ(folder.Run(), "old run") << broken << ": the old version does not stay";
    }
    // A folder where a replaced file should be cannot be kept: nothing changes, nothing is
    // refused, and the stage waits.
    LauncherFolder folder;
    fs::create_directories(folder.Program() / "libold.so");
    StageFiles(folder, {{kClient, kNewClient}, {"libold.so", "new library"}});
    EXPECT_EQ(folder.Run(), "old run");
    EXPECT_TRUE(fs::is_directory(folder.Program() / "libold.so"));
    EXPECT_TRUE(fs::exists(folder.Stage() / "update.xml"));
    EXPECT_FALSE(fs::exists(folder.Kept()));
    EXPECT_FALSE(fs::exists(folder.State() / "refused_version"));
    // A roll-back that can never finish (a kept file gone) is dropped and the stage applied.
    fs::remove_all(folder.Program() / "libold.so");
    folder.root().Write("program/libold.so", "old library");
    fs::create_directories(folder.Kept());
    folder.root().Write(launchertest::kStage + "../previous/list",
                        "1\n" + std::string(64, 'a') + "\tlibold.so\n");
    folder.root().Write(launchertest::kStage + "../previous/rolling_back", "refuse\n");
    EXPECT_EQ(folder.Run(), "new run");
}

TEST(LauncherTest, AStageThatDoesNotVerifyIsLeftWholeAndTheCurrentVersionStarts) {
    const std::string newLauncher = NewLauncher();
    const auto stage = [&](const LauncherFolder& f, const CTestSigningKey& key) {
        StageFiles(f, {{kClient, kNewClient}, {kDeliveredLauncher, newLauncher}}, key);
    };
    const std::vector<std::pair<const char*, std::function<void(const LauncherFolder&)>>> spoils{
        {"unsigned", [](const LauncherFolder& f) { fs::remove(f.Stage() / "update.xml.sig"); }},
        {"signed by a key the build does not trust",
         [&](const LauncherFolder& f) { stage(f, CTestSigningKey::Generate()); }},
        {"incomplete", [](const LauncherFolder& f) { fs::remove(f.Stage() / kClient); }},
        {"a file cut short",
         [](const LauncherFolder& f) { fs::resize_file(f.Stage() / kClient, 10); }},
        {"a file changed after staging",
         [](const LauncherFolder& f) {
             f.root().Write(launchertest::kStage + kClient, launchertest::ClientScript("bad"));
         }},
        {"the manifest changed after signing",
         [](const LauncherFolder& f) {
             std::string manifest = f.root().Read(launchertest::kStage + "update.xml");
             manifest.replace(manifest.find("10000020000"), 1, "2");
             f.root().Write(launchertest::kStage + "update.xml", manifest);
         }},
    };
    for (const auto& [what, spoil] : spoils) {
        LauncherFolder folder;
        stage(folder, CTestSigningKey::Development());
        spoil(folder);
        // A delivered launcher that no verified update placed is never swapped in.
        folder.root().Write("program/" + kDeliveredLauncher, newLauncher);
        const size_t entries = StageEntries(folder);
        EXPECT_EQ(folder.Run(), "old run") << what;
        EXPECT_EQ(StageEntries(folder), entries) << what << ": the stage was touched";
        EXPECT_TRUE(ReadBytes(folder.Program() / kLauncher) == ReadBytes(SONGDECK_LAUNCHER_PATH))
            << what << ": the launcher was replaced";
    }
}

TEST(LauncherTest, AStageOfAnOlderVersionIsDroppedAndTheInstalledOneStarts) {
    LauncherFolder folder;
    folder.UseClientStandIn();  // 1.0.0.1
    StageFiles(folder, {{kClient, kNewClient}, {"libold.so", "old library"}},
               CTestSigningKey::Development(), 10000000000);
    EXPECT_EQ(folder.Run(), "1.0.0.1 run");
    EXPECT_FALSE(fs::exists(folder.Program() / "libold.so"));
    EXPECT_EQ(StageEntries(folder), 0u);
}

TEST(LauncherTest, WhileAClientRunsItsFilesStayAndTheLauncherOnlyHandsOver) {
    LauncherFolder folder;
    StageNewClient(folder);
    // The launcher of the test folder finds its client's place under the test's runtime folder.
    ScopedEnvironment environment;
    environment.Set("XDG_RUNTIME_DIR", folder.Runtime().string());
    {
        platform::SingleInstance running(kMainWndClassName);
        ASSERT_TRUE(running.TryBecomePrimary([](const std::string&) {}));
        EXPECT_EQ(folder.Run(), "old run");
        EXPECT_EQ(StageEntries(folder), 4u);
    }
    EXPECT_EQ(folder.Run(), "new run") << "applied once the client ended";

    // A client that restarts names its process, which still runs its file (one Windows does not
    // let go of): the launcher waits for its end, then updates and starts the new client.
    LauncherFolder restarting;
    restarting.root().Write("program/" + kClient, launchertest::MarkedStandIn("ending"));
    StageNewClient(restarting);
    TestProcess ending;
    ASSERT_TRUE(ending.Start(restarting.Program() / kClient, {"run"}));
    EXPECT_EQ(restarting.Run({"--after-client", std::to_string(ending.id())}), "new run");
}

// The client stand-in with a newer version stamped into it, as the release tool makes the
// client of an update; "" when objcopy fails.
std::string StandInStamped(const std::string& version) {
    TempFolder scratch;
    std::string stamp = version;
    stamp.resize(32, '\0');
    scratch.Write("stamp", stamp);
    const std::string command =
        "objcopy --update-section .songdeck_version='" + (scratch.path() / "stamp").string() +
        "' '" + SONGDECK_CLIENT_STANDIN_PATH + "' '" + (scratch.path() / "client").string() + "'";
    return std::system(command.c_str()) == 0 ? scratch.Read("client") : "";
}

std::vector<std::string> PlacedCopies(const LauncherFolder& folder) {
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder.Program())) {
        if (entry.path().filename().string().starts_with(".songdeck-new-")) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

// The launcher stopped at each of its file-system steps while it applies a three-file update
// (the client, a library, a new launcher), then started again: at every stop a launcher is
// there and the stage stays until the update is whole; afterwards every file is new. Once
// the client is replaced the installed version reads as the new one, and the rest of the stage
// must follow all the same.
TEST(LauncherTest, AStopAtAnyStepOfAnUpdateLeavesAStageThatTheNextStartCompletes) {
    const std::string newClient = StandInStamped("1.0.2.0");
    ASSERT_FALSE(newClient.empty()) << "cannot stamp a version into the client stand-in";
    const std::string oldLauncher = ReadBytes(SONGDECK_LAUNCHER_PATH);
    const std::string newLauncher = NewLauncher();
    int stops = 0;
    int stopsAfterTheSwap = 0;
    for (long step = 1; step <= 200; ++step) {
        LauncherFolder folder;
        folder.UseClientStandIn();
        folder.root().Write("program/libextra.so", "old library");
        StageFiles(folder, {{kClient, newClient, 10000020000},
                            {"libextra.so", "new library", 10000020000},
                            {kDeliveredLauncher, newLauncher, 10000020000}});
        const auto isNew = [&] {
            return ReadBytes(folder.Program() / kClient) == newClient &&
                   ReadBytes(folder.Program() / "libextra.so") == "new library" &&
                   ReadBytes(folder.Program() / kLauncher) == newLauncher &&
                   !fs::exists(folder.Program() / kDeliveredLauncher);
        };
        if (!folder.RunStoppedAt(kLauncher, {}, step)) {
            EXPECT_EQ(folder.ClientLine(), "1.0.2.0 run");
            EXPECT_TRUE(isNew());
            break;
        }
        ++stops;
        const std::string launcher = ReadBytes(folder.Program() / kLauncher);
        EXPECT_TRUE(launcher == oldLauncher || launcher == newLauncher)
            << "no whole launcher after a stop at step " << step;
        if (isNew()) {
            ++stopsAfterTheSwap;
        } else {
            EXPECT_TRUE(fs::exists(folder.Stage() / "update.xml"))
                << "a stop at step " << step << " left a half update and no stage";
        }

        EXPECT_EQ(folder.Run(), "1.0.2.0 run") << "after a stop at step " << step;
        EXPECT_TRUE(isNew()) << "after a stop at step " << step;
        EXPECT_EQ(PlacedCopies(folder), std::vector<std::string>{})
            << "after a stop at step " << step;
        EXPECT_FALSE(fs::exists(folder.Stage() / "update.xml"))
            << "the stage stays after a stop at step " << step;
    }
    // Placing three files, three renames, the swap and the emptying: a walk with fewer stops
    // did not reach them.
    EXPECT_GE(stops, 12);
    EXPECT_GE(stopsAfterTheSwap, 4);
    std::cout << "stopped the launcher at " << stops << " steps, " << stopsAfterTheSwap
              << " of them after the swap\n";
}

// The launcher stopped at each file-system step of the apply and the roll-back of an update whose
// client exits at once: the next start ends with the old version running and nothing kept.
TEST(LauncherTest, AStopAtAnyStepOfARollBackLeavesAVersionThatTheNextStartRuns) {
    const std::string broken = launchertest::MarkedStandIn("broken-exit");
    int stops = 0;
    for (long step = 1; step <= 200; ++step) {
        LauncherFolder folder;
        folder.UseClientStandIn();
        const std::string oldClient = ReadBytes(folder.Program() / kClient);
        folder.root().Write("program/libextra.so", "old library");
        StageFiles(folder, {{kClient, broken}, {"libextra.so", "new library"}});
        const auto isOld = [&] {
            return ReadBytes(folder.Program() / kClient) == oldClient &&
                   ReadBytes(folder.Program() / "libextra.so") == "old library";
        };
        const bool stopped = folder.RunStoppedAt(kLauncher, {}, step);
        if (stopped) {
            ++stops;
            // A stop amid the renames leaves a mix, the kept version whole beside it.
            EXPECT_TRUE(isOld() || fs::exists(folder.Kept() / "list"))
                << "no whole version after a stop at step " << step;
        }
        EXPECT_NE(stopped ? folder.Run() : folder.ClientLine(), "")
            << "no client after step " << step;
        EXPECT_TRUE(isOld()) << "after a stop at step " << step;
        EXPECT_FALSE(fs::exists(folder.Kept())) << "after a stop at step " << step;
        EXPECT_TRUE(fs::exists(folder.State() / "refused_version")) << "after step " << step;
        EXPECT_EQ(PlacedCopies(folder), std::vector<std::string>{}) << "after step " << step;
        EXPECT_EQ(StageEntries(folder), 0u) << "after a stop at step " << step;
        if (!stopped) {
            break;
        }
    }
    EXPECT_GE(stops, 15) << "the walk did not reach the roll-back";
    std::cout << "stopped the launcher at " << stops << " steps of an update rolled back\n";
}

// The client's own launcher swap, stopped at each step and run again: a launcher is there at
// every moment.
TEST(LauncherTest, TheClientsLauncherSwapLeavesALauncherWhereverItIsStopped) {
    int stops = 0;
    for (long step = 1; step <= 20; ++step) {
        LauncherFolder folder;
        folder.UseClientStandIn();
        folder.root().Write("program/" + kLauncher, "old launcher");
        folder.root().Write("program/" + kDeliveredLauncher, "new launcher");
        const bool stopped = folder.RunStoppedAt(kClient, {"--swap-launcher"}, step);
        const std::string launcher = folder.root().Read("program/" + kLauncher);
        EXPECT_TRUE(launcher == "old launcher" || launcher == "new launcher")
            << "no whole launcher after a stop at step " << step;
        if (!stopped) {
            break;
        }
        ++stops;
        ASSERT_FALSE(folder.RunStoppedAt(kClient, {"--swap-launcher"}, 0));
        EXPECT_EQ(folder.root().Read("program/" + kLauncher), "new launcher");
        EXPECT_FALSE(fs::exists(folder.Program() / kDeliveredLauncher));
    }
    EXPECT_GE(stops, 1);
    std::cout << "stopped the client's launcher swap at " << stops << " steps\n";
}

}  // namespace
