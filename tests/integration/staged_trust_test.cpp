// A signed update staged by the update thread, and the check the launcher makes of it.
#include <gtest/gtest.h>

#include <cstdlib>
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

namespace {

using namespace updatetest;
using testsupport::ServeSignedManifest;

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

    // Checking moves nothing.
    EXPECT_EQ(ReadUpdateFile("lib.so"), library);

    std::ofstream(updateDir / "data.bin", std::ios::binary | std::ios::app) << "!";
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::FileMismatch);
    std::ofstream(updateDir / "data.bin", std::ios::binary | std::ios::trunc) << data;

    std::string changed = manifest;
    changed[changed.find("notes")] = 'N';
    std::ofstream(updateDir / "update.xml", std::ios::binary | std::ios::trunc) << changed;
    EXPECT_EQ(VerifyStagedUpdate(Folder(), running), StagedUpdateCheck::BadSignature);
}

TEST_F(StagedSignedUpdate, TheManifestSignedWithTheToolIsStagedAndVerifies) {
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
}

}  // namespace
