#include "update/staged_update.h"

#include <vector>

#include "platform/xml_document.h"
#include "update/manifest_files.h"
#include "update/manifest_trust.h"
#include "update/update_files.h"
#include "update/xml_document.h"

namespace {

bool IsStagedWhole(const std::wstring& folder, const ManifestFile& file) {
    const std::wstring path = folder + file.name;
    return FileExists(path) &&
           (file.digest.empty() || DigestOfFileLike(file.digest, path) == file.digest);
}

}  // namespace

StagedUpdateCheck VerifyStagedUpdate(const std::wstring& folder, LONGLONG currentVersion,
                                     std::vector<ManifestFile>* verifiedFiles,
                                     LONGLONG* stagedVersion) {
    std::string manifest;
    if (!ReadWholeFile(folder + kStagedManifestName, kMaxManifestBytes, manifest)) {
        return StagedUpdateCheck::NoManifest;
    }
    const bool signedStage = HasManifestKeys();
    if (signedStage) {
        std::string signature;
        if (!ReadWholeFile(folder + kStagedSignatureName, kManifestSignatureBytes, signature) ||
            !VerifyManifestSignature(manifest, signature)) {
            return StagedUpdateCheck::BadSignature;
        }
    }
    platform::CXmlDocument document;
    if (FAILED(LoadXmlBytes(manifest, document))) {
        return StagedUpdateCheck::BadManifest;
    }
    const platform::CXmlNode root = document.Root().SelectSingle("updater");
    if (!root) {
        return StagedUpdateCheck::BadManifest;
    }
    std::wstring versionText;
    GetNodeText(root, "version", versionText);
    const LONGLONG version = ParseInt64(versionText);
    if (stagedVersion != nullptr) {
        *stagedVersion = version;
    }
    if (currentVersion > 0 && version < currentVersion) {
        return StagedUpdateCheck::OlderVersion;
    }
    std::vector<ManifestFile> needed;
    std::vector<ManifestFile> others;
    for (ManifestFile& file : ReadManifestFiles(root)) {
        (file.IsNeededBy(currentVersion) ? needed : others).push_back(std::move(file));
    }
    if (!CanStageFiles(needed, signedStage)) {
        return StagedUpdateCheck::BadManifest;
    }
    for (const ManifestFile& file : needed) {
        if (!IsStagedWhole(folder, file)) {
            return StagedUpdateCheck::FileMismatch;
        }
    }
    if (verifiedFiles != nullptr) {
        // Files the installed version seems not to need go in too when they are staged whole:
        // after a stop half-way through an update the installed version may already read as
        // the new one, and the rest of the stage must still follow.
        std::vector<ManifestFile> staged = needed;
        for (ManifestFile& file : others) {
            if (!file.digest.empty() && IsStagedWhole(folder, file)) {
                staged.push_back(std::move(file));
            }
        }
        *verifiedFiles = CanStageFiles(staged, signedStage) ? std::move(staged) : std::move(needed);
    }
    return StagedUpdateCheck::Valid;
}
