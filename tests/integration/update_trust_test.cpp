// Update runs of a build that holds manifest keys (the default build trusts the development
// key): signatures, required digests, names that cannot be staged, bounded manifests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/helpers.h"
#include "platform/text_encoding.h"
#include "support/manifest_signer.h"
#include "update/manifest_trust.h"
#include "update_test_support.h"
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
    const auto file = [&](const std::string& link) {
        return "<file><link>" + link + "</link><md5>" + digest + "</md5></file>";
    };
    const std::string lists[] = {
        // Names Windows reads as the check manifest, the stage's manifest or its signature,
        // as a device, or cannot hold.
        file("files/update.check.xml."),
        file("files/update.xml::$DATA"),
        file("files/UPDATE.XML "),
        file("files/update.xml.sig. ."),
        file("files/CON.bin"),
        file("files/a*.bin"),
        file("files/a&quot;.bin"),
        file("files/a|b.bin"),
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

}  // namespace
