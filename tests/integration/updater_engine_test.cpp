// The update engine on a real thread of its own with its notification proxy, against a real
// HTTP server on 127.0.0.1.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

#include "app/helpers.h"
#include "app/environment.h"
#include "platform/files.h"
#include "platform/logger.h"
#include "platform/thread.h"
#include "platform/wnd.h"
#include "support/manifest_signer.h"
#include "support/test_http_server.h"
#include "unit/temp_folder.h"
#include "update/notify_proxy.h"
#include "update/updater.h"
#include "updater_engine_fixture.h"
#include "beside_executable.h"
#include "update_test_support.h"

namespace {

using namespace updatetest;

class UpdaterEngine : public UpdaterEngineTest {
protected:
    // These runs are those of a build without keys: manifests unsigned, digests optional.
    testsupport::CScopedManifestKeys noKeys{""};
};

TEST_F(UpdaterEngine, TheSameVersionIsNoUpdateAndTheQueryCarriesIdAndVersion) {
    server.ServeFile("/app/update.xml", BuildManifest(kRunning, {}, {{"files/a.bin", "", 0}}));
    server.ServeFile("/app/files/a.bin", "never fetched");

    const Outcome outcome = Run(ManifestUrl());

    EXPECT_EQ(outcome.result, 2);
    const auto requests = server.RequestsFor("/app/update.xml");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/app/update.xml?id={TEST-ID}&ver=10200030004");
    EXPECT_EQ(FetchesOf("/app/files/a.bin"), 0u);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "a finished check leaves nothing";
}

TEST_F(UpdaterEngine, ANewerVersionDownloadsAndVerifiesEveryFile) {
    const std::string first(300000, 'a');
    const std::string second = "second file";
    server.ServeFile(
        "/app/update.xml",
        BuildManifest(
            kRunning + 2,
            {{kRunning + 2, {"two a", "two b"}}, {kRunning + 1, {"one"}}, {kRunning, {"running"}}},
            {{"files/first.bin", Md5Of(first), kRunning + 2},
             {"files/sub/second.bin", Md5Of(second), 0},
             {"files/old.bin", "", kRunning}}));
    server.ServeFile("/app/files/first.bin", first);
    server.ServeFile("/app/files/sub/second.bin", second);

    TempFolder logDir;
    Logger::instance().SetFile(logDir.wide(L"SongDeck.log"));
    const Outcome outcome = Run(ManifestUrl());
    Logger::instance().SetFile(GetUserDataDir() + L"SongDeck.log");

    EXPECT_EQ(outcome.result, 1);
    // The manifest waits under the check's own name for the stage, beside the files: no others.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 3);
    EXPECT_EQ(outcome.manifestPath, dir.wide(L"update.check.xml"));
    // Each step once, and the client id of the query never.
    const std::string lines = logDir.Read("SongDeck.log");
    for (const char* step :
         {"checking http://127.0.0.1:", "version 10200030006 found, 2 files",
          "0 files already in place, 2 to download", "\"first.bin\" downloaded and verified",
          "\"second.bin\" downloaded and verified", "every file of version 10200030006"}) {
        const size_t at = lines.find(step);
        EXPECT_NE(at, std::string::npos) << step << " in\n" << lines;
        EXPECT_EQ(lines.find(step, at + 1), std::string::npos) << step << " twice";
    }
    EXPECT_EQ(lines.find("TEST-ID"), std::string::npos) << lines;
    EXPECT_EQ(dir.Read("first.bin"), first);
    EXPECT_EQ(dir.Read("second.bin"), second);
    EXPECT_EQ(FetchesOf("/app/files/old.bin"), 0u);
    EXPECT_EQ(outcome.desc, L"two a\r\ntwo b\r\n");
    EXPECT_EQ(outcome.log, L"two a\r\ntwo b\r\n\r\none\r\n\r\n");
    // Two files: each verified file is a third of the way.
    ASSERT_FALSE(outcome.progress.empty());
    EXPECT_NE(std::find(outcome.progress.begin(), outcome.progress.end(), 33),
              outcome.progress.end());
    EXPECT_TRUE(std::is_sorted(outcome.progress.begin(), outcome.progress.end()));
    EXPECT_LT(outcome.progress.back(), 100);
}

TEST_F(UpdaterEngine, FilesAlreadyPresentWithTheirMd5AreNotFetchedAgain) {
    const std::string kept = "already here";
    const std::string stale = "new content";
    const std::string unchecked = "no md5 given";
    server.ServeFile("/app/update.xml", BuildManifest(kRunning + 1, {},
                                                      {{"files/kept.bin", Md5Of(kept), 0},
                                                       {"files/stale.bin", Md5Of(stale), 0},
                                                       {"files/unchecked.bin", "", 0}}));
    server.ServeFile("/app/files/kept.bin", kept);
    server.ServeFile("/app/files/stale.bin", stale);
    server.ServeFile("/app/files/unchecked.bin", "server copy");
    dir.Write("kept.bin", kept);
    dir.Write("stale.bin", "old content of another length");
    dir.Write("unchecked.bin", unchecked);

    const Outcome outcome = Run(ManifestUrl());

    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(FetchesOf("/app/files/kept.bin"), 0u);
    EXPECT_EQ(FetchesOf("/app/files/unchecked.bin"), 0u);
    EXPECT_EQ(dir.Read("unchecked.bin"), unchecked);
    // The wrong copy was deleted first, so the download started from byte 0.
    const auto staleRequests = server.RequestsFor("/app/files/stale.bin");
    ASSERT_EQ(staleRequests.size(), 1u);
    EXPECT_FALSE(staleRequests[0].HasHeader("Range"));
    EXPECT_EQ(dir.Read("stale.bin"), stale);
}

TEST_F(UpdaterEngine, AFileThatNeverMatchesItsMd5IsTriedThreeTimesThenTheRunFails) {
    const std::string good = "good";
    server.ServeFile("/app/update.xml",
                     BuildManifest(kRunning + 1, {},
                                   {{"files/good.bin", Md5Of(good), 0},
                                    {"files/bad.bin", Md5Of("what the manifest promised"), 0}}));
    server.ServeFile("/app/files/good.bin", good);
    server.ServeFile("/app/files/bad.bin", "something else");

    const Outcome outcome = Run(ManifestUrl());

    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.state, 2);
    EXPECT_EQ(FetchesOf("/app/files/bad.bin"), 3u);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "bad.bin"));
    EXPECT_EQ(dir.Read("good.bin"), good);
}

TEST_F(UpdaterEngine, AnUpperCaseMd5NeverMatches) {
    std::string upper = Md5Of("x");
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    server.ServeFile("/app/update.xml",
                     BuildManifest(kRunning + 1, {}, {{"files/x.bin", upper, 0}}));
    server.ServeFile("/app/files/x.bin", "x");

    EXPECT_EQ(Run(ManifestUrl()).result, 0);
    EXPECT_EQ(FetchesOf("/app/files/x.bin"), 3u);
}

TEST_F(UpdaterEngine, AFailedDownloadEndsTheRunAtItsStage) {
    server.ServeFile("/app/update.xml",
                     BuildManifest(kRunning + 1, {}, {{"files/missing.bin", "", 0}}));
    const Outcome later = Run(ManifestUrl());
    EXPECT_EQ(later.result, 0);
    EXPECT_EQ(later.state, 2);
    EXPECT_EQ(FetchesOf("/app/files/missing.bin"), 1u);

    const Outcome early = Run(server.WideUrl("/app/nowhere.xml"));
    EXPECT_EQ(early.result, 0);
    EXPECT_EQ(early.state, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "no manifest nor a part of one is left";
}

TEST_F(UpdaterEngine, APartialManifestIsContinued) {
    const std::string manifest = BuildManifest(kRunning + 1, {{kRunning + 1, {"resumed"}}}, {});
    server.ServeFile("/app/update.xml", manifest);
    dir.Write("update.check.xml.part", manifest.substr(0, 40));

    const Outcome outcome = Run(ManifestUrl());

    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(outcome.desc, L"resumed\r\n");
    const auto requests = server.RequestsFor("/app/update.xml");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Header("Range"), "bytes=40-");
}

TEST_F(UpdaterEngine, StoppingDuringTheFileCheckLeavesTheWorkerToEndOnItsOwn) {
    // A present file with a wrong digest big enough that hashing it outlasts the stop's short
    // wait, so the worker is left running on its own; the smaller ones after it are never
    // looked at.
    std::vector<ManifestFile> files;
    dir.Write("big.bin", std::string(128 << 20, 'c'));
    files.push_back({"files/big.bin", Md5Of("other"), 0});
    for (int i = 0; i < 4; ++i) {
        const std::string name = "f" + std::to_string(i) + ".bin";
        dir.Write(name, "small");
        files.push_back({"files/" + name, Md5Of("other"), 0});
    }
    server.ServeFile("/app/update.xml", BuildManifest(kRunning + 1, {}, files));

    const DWORD before = GetTickCount();
    const Outcome outcome = Run(ManifestUrl(), true);

    // The run ended without a result, the worker posted nothing that reached anyone, and
    // nothing was downloaded.
    EXPECT_EQ(outcome.result, -1);
    EXPECT_LT(GetTickCount() - before, 5000u);
    EXPECT_TRUE(server.RequestsFor("/app/files/f0.bin").empty());
    // The worker, detached or not, ends at the next file at the latest: the files after the
    // big one are never looked at.
    PollUntil([&] { return !std::filesystem::exists(dir.path() / "big.bin"); }, 5000);
    Sleep(200);
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(std::filesystem::exists(dir.path() / ("f" + std::to_string(i) + ".bin")));
    }
}

TEST_F(UpdaterEngine, ServerUrlFileReplacesTheManifestUrl) {
    server.ServeFile("/other/manifest.xml", BuildManifest(kRunning, {}, {}));
    const std::wstring unreachable = L"http://127.0.0.1:9/update.xml";
    {
        FileBesideExecutable file(
            "serverurl.txt",
            "HtTp://127.0.0.1:" + std::to_string(server.Port()) + "/other/manifest.xml\r\n");
        EXPECT_EQ(Run(unreachable).result, 2);
        const auto requests = server.RequestsFor("/other/manifest.xml");
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].target, "/other/manifest.xml?id={TEST-ID}&ver=10200030004");
    }
    for (const std::string& ignored :
         {"https://127.0.0.1:" + std::to_string(server.Port()) + "/other/manifest.xml",
          std::string("http://")}) {
        FileBesideExecutable file("serverurl.txt", ignored);
        std::wstring url = L"http://kept/";
        EXPECT_FALSE(CUpdater::ApplyServerUrlOverride(url)) << ignored;
        EXPECT_EQ(url, L"http://kept/");
    }
}

}  // namespace
