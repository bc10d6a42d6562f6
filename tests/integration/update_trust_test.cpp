// Update runs of a build that holds manifest keys (the default build trusts the development
// key): signatures, required digests, names that cannot be staged, bounded manifests, and the
// check the launcher makes of a staged update.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/helpers.h"
#include "platform/text_encoding.h"
#include "support/manifest_signer.h"
#include "update/manifest_trust.h"
#include "update/staged_update.h"
#include "update_client_setting.h"
#include "update_test_support.h"
#include "update_thread_starter.h"
#include "updater_engine_fixture.h"

namespace {

using namespace updatetest;
using testsupport::CScopedManifestKeys;
using testsupport::CTestSigningKey;
using testsupport::HttpTestReply;
using testsupport::HttpTestRequest;
using testsupport::ServeSignedManifest;
namespace fs = std::filesystem;

std::string Sha256Of(const std::string& bytes, const TempFolder& scratch) {
    scratch.Write("digest.tmp", bytes);
    return WideToUtf8(SHA256OfFile(scratch.wide(L"digest.tmp").c_str()));
}

// A manifest of one newer version whose file entries are given as XML.
std::string ManifestWithFiles(const std::string& files) {
    return "<updater><version>" + std::to_string(kRunning + 1) + "</version><download>" + files +
           "</download></updater>";
}

class SignedUpdate : public UpdaterEngineTest {
protected:
    // Everything the run left in its folder.
    std::vector<std::string> FolderContent() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }
    size_t FileRequests() const {
        size_t count = 0;
        for (const auto& request : server.Requests()) {
            count += request.Path().rfind("/app/files/", 0) == 0 ? 1 : 0;
        }
        return count;
    }
    TempFolder scratch;
};

TEST_F(SignedUpdate, AVerifiedManifestIsParsedAndItsFilesFetched) {
    ASSERT_TRUE(TrustsDevelopmentKey());
    const std::string file = "signed file";
    ServeSignedManifest(server, "/app/update.xml",
                        BuildManifest(kRunning + 1, {}, {{"files/a.bin", Md5Of(file), 0}}));
    server.ServeFile("/app/files/a.bin", file);

    const Outcome outcome = Run(ManifestUrl());

    EXPECT_EQ(outcome.result, 1);
    EXPECT_EQ(dir.Read("a.bin"), file);
    // The signature is asked for beside the manifest, with the same query.
    const auto signatures = server.RequestsFor("/app/update.xml.sig");
    ASSERT_EQ(signatures.size(), 1u);
    EXPECT_EQ(signatures[0].target.substr(signatures[0].target.find('?')),
              server.RequestsFor("/app/update.xml")[0].target.substr(
                  server.RequestsFor("/app/update.xml")[0].target.find('?')));
}

TEST_F(SignedUpdate, AMissingTamperedOrForeignSignatureFailsAndLeavesNothing) {
    const std::string manifest =
        BuildManifest(kRunning + 1, {}, {{"files/a.bin", Md5Of("attacker"), 0}});
    std::string tampered = manifest;
    tampered[tampered.find("<version>") + 9] ^= 1;
    const CTestSigningKey foreign = CTestSigningKey::Generate();
    const std::string good = CTestSigningKey::Development().Sign(manifest);
    struct Case {
        const char* what;
        std::string served;
        std::optional<std::string> signature;
    };
    const Case cases[] = {
        {"missing", manifest, std::nullopt},
        {"tampered byte", tampered, good},
        {"foreign key", manifest, foreign.Sign(manifest)},
        {"short", manifest, good.substr(0, 63)},
        {"long", manifest, good + "x"},
    };
    server.ServeFile("/app/files/a.bin", "attacker");
    for (const Case& c : cases) {
        server.ServeFile("/app/update.xml", c.served);
        if (c.signature) {
            server.ServeFile("/app/update.xml.sig", *c.signature);
        } else {
            server.On("/app/update.xml.sig",
                      [](const HttpTestRequest&) { return HttpTestReply::Text(404, "no"); });
        }

        const Outcome outcome = Run(ManifestUrl());

        EXPECT_EQ(outcome.result, 0) << c.what;
        EXPECT_EQ(FileRequests(), 0u) << c.what;
        EXPECT_TRUE(FolderContent().empty()) << c.what << ": " << FolderContent().front();
    }
}

TEST_F(SignedUpdate, AnyOfSeveralKeysVerifiesSoAKeyCanBeRotated) {
    const CTestSigningKey oldKey = CTestSigningKey::Generate();
    const CTestSigningKey newKey = CTestSigningKey::Generate();
    CScopedManifestKeys keys(oldKey.PublicKeyBase64() + ";\n " + newKey.PublicKeyBase64());
    EXPECT_FALSE(TrustsDevelopmentKey());
    const std::string manifest = BuildManifest(kRunning + 1, {}, {});

    for (const CTestSigningKey* key : {&oldKey, &newKey}) {
        ServeSignedManifest(server, "/app/update.xml", manifest, *key);
        EXPECT_EQ(Run(ManifestUrl()).result, 1);
    }
    // The development key is no longer among them.
    ServeSignedManifest(server, "/app/update.xml", manifest);
    EXPECT_EQ(Run(ManifestUrl()).result, 0);
}

TEST_F(SignedUpdate, EveryFileOfASignedManifestNeedsADigest) {
    const std::string manifest = BuildManifest(
        kRunning + 1, {}, {{"files/a.bin", Md5Of("a"), 0}, {"files/unchecked.bin", "", 0}});
    ServeSignedManifest(server, "/app/update.xml", manifest);
    server.ServeFile("/app/files/a.bin", "a");
    server.ServeFile("/app/files/unchecked.bin", "anything");

    const Outcome outcome = Run(ManifestUrl());
    EXPECT_EQ(outcome.result, 0);
    EXPECT_EQ(outcome.state, 1);
    EXPECT_EQ(FileRequests(), 0u);

    // A build without keys takes the same manifest unsigned, as before.
    CScopedManifestKeys noKeys("");
    server.ServeFile("/app/update.xml", manifest);
    EXPECT_EQ(Run(ManifestUrl()).result, 1);
    EXPECT_EQ(dir.Read("unchecked.bin"), "anything");
}

TEST_F(SignedUpdate, ASha256DigestIsCheckedInsteadOfTheMd5) {
    const std::string file = "sha file";
    const std::string right = Sha256Of(file, scratch);
    const std::string wrong = Sha256Of("other", scratch);
    server.ServeFile("/app/files/a.bin", file);

    // The SHA-256 decides, whatever the MD5 beside it says for old clients.
    ServeSignedManifest(server, "/app/update.xml",
                        ManifestWithFiles("<file><link>files/a.bin</link><md5>" + Md5Of("x") +
                                          "</md5><sha256>" + right + "</sha256></file>"));
    EXPECT_EQ(Run(ManifestUrl()).result, 1);
    EXPECT_EQ(dir.Read("a.bin"), file);

    fs::remove(dir.path() / "a.bin");
    ServeSignedManifest(server, "/app/update.xml",
                        ManifestWithFiles("<file><link>files/a.bin</link><md5>" + Md5Of(file) +
                                          "</md5><sha256>" + wrong + "</sha256></file>"));
    server.ClearRequests();
    EXPECT_EQ(Run(ManifestUrl()).result, 0);
    EXPECT_EQ(server.RequestsFor("/app/files/a.bin").size(), size_t(CUpdater::kMaxMismatches));
    EXPECT_FALSE(fs::exists(dir.path() / "a.bin"));
}

TEST_F(SignedUpdate, FileListsThatCannotBeStagedFailBeforeAnyFileIsAsked) {
    const std::string digest = Md5Of("x");
    const std::string lists[] = {
        // One file would end as the other on a file system that ignores case.
        "<file><link>x/same.bin</link><md5>" + digest + "</md5></file>" +
            "<file><link>y/SAME.bin</link><md5>" + digest + "</md5></file>",
        "<file><link>files/..</link><md5>" + digest + "</md5></file>",
        "<file><link>files/.</link><md5>" + digest + "</md5></file>",
        "<file><link>files/</link><md5>" + digest + "</md5></file>",
        // The stage's own manifest cannot be a file of the update.
        "<file><link>files/Update.xml</link><md5>" + digest + "</md5></file>",
    };
    for (const std::string& list : lists) {
        const std::string manifest = ManifestWithFiles(list);
        ServeSignedManifest(server, "/app/update.xml", manifest);
        const Outcome outcome = Run(ManifestUrl());
        EXPECT_EQ(outcome.result, 0) << list;
        EXPECT_EQ(FileRequests(), 0u) << list;
        // The refused manifest is removed with its signature.
        EXPECT_TRUE(FolderContent().empty()) << list;
    }
}

TEST_F(SignedUpdate, ALinkWithASpaceIsFetchedPercentEncoded) {
    ServeSignedManifest(server, "/app/update.xml",
                        BuildManifest(kRunning + 1, {}, {{"files/my file.bin", Md5Of("sp"), 0}}));
    server.ServeFile("/app/files/my%20file.bin", "sp");

    EXPECT_EQ(Run(ManifestUrl()).result, 1);
    EXPECT_EQ(dir.Read("my file.bin"), "sp");
}

TEST_F(SignedUpdate, ADeeplyNestedManifestFailsInsteadOfExhaustingTheStack) {
    std::string manifest = "<updater><version>" + std::to_string(kRunning + 1) + "<v>";
    manifest.reserve(800000);
    for (int i = 0; i < 100000; ++i) {
        manifest += "<a>";
    }
    for (int i = 0; i < 100000; ++i) {
        manifest += "</a>";
    }
    manifest += "</v></version></updater>";
    ASSERT_LT(manifest.size(), 1024u * 1024u);
    ServeSignedManifest(server, "/app/update.xml", manifest);

    EXPECT_EQ(Run(ManifestUrl()).result, 0);
    EXPECT_TRUE(FolderContent().empty());
}

TEST_F(SignedUpdate, AManifestPastOneMebibyteIsCutOffWhileItArrives) {
    auto endless = std::make_shared<const std::string>(4 * 1024 * 1024, ' ');
    server.On("/app/update.xml", [endless](const HttpTestRequest&) {
        HttpTestReply reply;
        reply.body = endless;
        reply.framing = HttpTestReply::Framing::Close;
        return reply;
    });
    EXPECT_EQ(Run(ManifestUrl()).result, 0);
    EXPECT_TRUE(FolderContent().empty());

    server.On("/app/update.xml", [](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, "<updater/>");
        reply.announcedLength = 64 * 1024 * 1024;
        reply.dropAfter = 10;
        return reply;
    });
    EXPECT_EQ(Run(ManifestUrl()).result, 0);
    EXPECT_TRUE(FolderContent().empty());
}

class StagedSignedUpdate : public ::testing::Test, public UpdateClientSetting {
protected:
    StagedSignedUpdate() : UpdateClientSetting("/desktop/update.xml") {}

    // A silent run that stages lib.so and data.bin.
    void StageUpdate() {
        manifest = BuildManifest(
            running + 1, {{running + 1, {"notes"}}},
            {{"files/lib.so", Md5Of(library), running + 1}, {"files/data.bin", Md5Of(data), 0}});
        ServeSignedManifest(server, "/desktop/update.xml", manifest);
        server.ServeFile("/desktop/files/lib.so", library);
        server.ServeFile("/desktop/files/data.bin", data);
        RunSilentCheck();
    }
    void RunSilentCheck() {
        CUpdateThread* thread = StartUpdateThread(FALSE);
        ASSERT_NE(thread, nullptr);
        EXPECT_EQ(WaitForSingleObject(thread->m_hThread, 30000), WAIT_OBJECT_0);
        EXPECT_TRUE(StopUpdateThread(thread));
    }
    std::wstring Folder() const { return WideFromPath(updateDir) + L"/"; }

    const std::string library = "library bytes";
    const std::string data = "data bytes";
    std::string manifest;
};

TEST_F(StagedSignedUpdate, TheStageKeepsTheSignatureAndVerifiesUntilAByteChanges) {
    ASSERT_TRUE(mainWindowCreated);
    StageUpdate();
    ASSERT_TRUE(platform::PumpMessagesUntil([&] { return !mainWindow.ready.empty(); }, 5000))
        << "the update was not staged";
    EXPECT_EQ(ReadUpdateFile("update.xml"), manifest);
    EXPECT_TRUE(VerifyManifestSignature(manifest, ReadUpdateFile("update.xml.sig")));
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::Valid);
    EXPECT_EQ(VerifyStagedUpdate(Folder(), 0), StagedUpdateCheck::Valid);

    // Checking moves nothing.
    EXPECT_EQ(ReadUpdateFile("lib.so"), library);

    std::ofstream(updateDir / "data.bin", std::ios::app) << "!";
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::FileMismatch);
    std::ofstream(updateDir / "data.bin", std::ios::trunc) << data;

    std::string changed = manifest;
    changed[changed.find("notes")] = 'N';
    std::ofstream(updateDir / "update.xml", std::ios::trunc) << changed;
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::BadSignature);

    std::ofstream(updateDir / "update.xml", std::ios::trunc) << manifest;
    fs::remove(updateDir / "lib.so");
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::FileMismatch);
    fs::remove(updateDir / "update.xml.sig");
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::BadSignature);
    fs::remove(updateDir / "update.xml");
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::NoManifest);
}

TEST_F(StagedSignedUpdate, TheManifestSignedWithTheToolVerifiesAndATamperedByteFails) {
    ASSERT_TRUE(mainWindowCreated);
    manifest = BuildManifest(running + 1, {}, {{"files/data.bin", Md5Of(data), 0}});
    TempFolder release;
    release.Write("update.xml", manifest);
    const std::string tool =
        std::string(SONGDECK_TEST_SUPPORT_DIR) + "/../../tools/sign-manifest/sign-manifest '" +
        testsupport::DevelopmentKeyPath() + "' '" + (release.path() / "update.xml").string() + "'";
    ASSERT_EQ(std::system(tool.c_str()), 0) << tool;
    const std::string signature = release.Read("update.xml.sig");
    ASSERT_EQ(signature.size(), 64u);
    EXPECT_TRUE(VerifyManifestSignature(manifest, signature));

    server.ServeFile("/desktop/update.xml", manifest);
    server.ServeFile("/desktop/update.xml.sig", signature);
    server.ServeFile("/desktop/files/data.bin", data);
    RunSilentCheck();
    EXPECT_TRUE(platform::PumpMessagesUntil([&] { return !mainWindow.ready.empty(); }, 5000));
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::Valid);

    std::string tampered = manifest;
    tampered.back() = tampered.back() == '\n' ? ' ' : '\n';
    EXPECT_FALSE(VerifyManifestSignature(tampered, signature));
}

}  // namespace
