// The check of a staged update folder as the launcher makes it, in builds with and without
// manifest keys.
#include <gtest/gtest.h>

#include "app/helpers.h"
#include "platform/text_encoding.h"
#include "support/manifest_signer.h"
#include "temp_folder.h"
#include "update/staged_update.h"

namespace {

using testsupport::CScopedManifestKeys;
using testsupport::CTestSigningKey;

std::string Md5(const std::string& bytes) {
    return WideToUtf8(MD5OfBuffer(bytes.data(), bytes.size()));
}

class StagedUpdateFolder : public ::testing::Test {
protected:
    void Stage(const std::string& files) {
        manifest = "<updater><version>30</version><download>" + files + "</download></updater>";
        folder.Write("update.xml", manifest);
        folder.Write("update.xml.sig", CTestSigningKey::Development().Sign(manifest));
    }
    StagedUpdateCheck Check(LONGLONG running = 20) const {
        return VerifyStagedUpdate(folder.wide(), running);
    }
    TempFolder folder;
    std::string manifest;
};

TEST_F(StagedUpdateFolder, OnlyTheFilesTheRunningVersionNeedsMustBePresent) {
    Stage("<file><link>a/new.bin</link><md5>" + Md5("new") + "</md5><ver>30</ver></file>" +
          "<file><link>old.bin</link><md5>" + Md5("old") + "</md5><ver>10</ver></file>");
    folder.Write("new.bin", "new");
    EXPECT_EQ(Check(20), StagedUpdateCheck::Valid);
    // A launcher that does not know the running version checks every listed file.
    EXPECT_EQ(Check(0), StagedUpdateCheck::FileMismatch);
    folder.Write("old.bin", "old");
    EXPECT_EQ(Check(0), StagedUpdateCheck::Valid);
    // An older release, signed and whole, is never taken again.
    EXPECT_EQ(Check(31), StagedUpdateCheck::OlderVersion);
}

TEST_F(StagedUpdateFolder, EveryListedFileStagedWholeIsAppliedWhateverTheInstalledVersion) {
    Stage("<file><link>a/new.bin</link><md5>" + Md5("new") + "</md5><ver>30</ver></file>" +
          "<file><link>old.bin</link><md5>" + Md5("old") + "</md5><ver>10</ver></file>");
    folder.Write("new.bin", "new");
    const auto applied = [&](LONGLONG running) {
        std::vector<ManifestFile> files;
        std::vector<std::wstring> names;
        EXPECT_EQ(VerifyStagedUpdate(folder.wide(), running, &files), StagedUpdateCheck::Valid);
        for (const ManifestFile& file : files) {
            names.push_back(file.name + L":" + file.digest);
        }
        return names;
    };
    const std::wstring newBin = L"new.bin:" + Utf8ToWide(Md5("new"));
    const std::wstring oldBin = L"old.bin:" + Utf8ToWide(Md5("old"));
    // A file the running version does not need, left over with other bytes, stays out.
    folder.Write("old.bin", "left over");
    EXPECT_EQ(applied(20), std::vector<std::wstring>{newBin});
    folder.Write("old.bin", "old");
    EXPECT_EQ(applied(20), (std::vector<std::wstring>{newBin, oldBin}));
    // A client already replaced by a stopped update reads as the new version: the rest follows.
    EXPECT_EQ(applied(30), (std::vector<std::wstring>{newBin, oldBin}));
}

TEST_F(StagedUpdateFolder, ASignedStageNeedsDigestsAndNamesThatCanStandSideBySide) {
    Stage("<file><link>a.bin</link></file>");
    folder.Write("a.bin", "a");
    EXPECT_EQ(Check(), StagedUpdateCheck::BadManifest);
    Stage("<file><link>x/a.bin</link><md5>" + Md5("a") + "</md5></file>" +
          "<file><link>y/A.BIN</link><md5>" + Md5("a") + "</md5></file>");
    EXPECT_EQ(Check(), StagedUpdateCheck::BadManifest);
    folder.Write("update.xml", "<updater><download>");
    EXPECT_EQ(Check(), StagedUpdateCheck::BadSignature);
}

TEST_F(StagedUpdateFolder, ABuildWithoutKeysChecksDigestsButNoSignature) {
    CScopedManifestKeys none("");
    Stage("<file><link>a.bin</link><md5>" + Md5("a") +
          "</md5></file>"
          "<file><link>b.bin</link></file>");
    std::filesystem::remove(folder.path() / "update.xml.sig");
    folder.Write("a.bin", "a");
    folder.Write("b.bin", "anything");
    EXPECT_EQ(Check(), StagedUpdateCheck::Valid);
    folder.Write("a.bin", "changed");
    EXPECT_EQ(Check(), StagedUpdateCheck::FileMismatch);
    folder.Write("update.xml", "not xml");
    EXPECT_EQ(Check(), StagedUpdateCheck::BadManifest);
}

}  // namespace
