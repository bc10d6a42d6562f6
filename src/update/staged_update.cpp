#include "update/staged_update.h"

#include <vector>

#include "platform/xml_document.h"
#include "update/manifest_files.h"
#include "update/manifest_trust.h"
#include "update/update_files.h"
#include "update/xml_document.h"

StagedUpdateCheck VerifyStagedUpdate(const std::wstring& folder, LONGLONG currentVersion) {
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
    std::vector<ManifestFile> needed;
    for (ManifestFile& file : ReadManifestFiles(root)) {
        if (file.IsNeededBy(currentVersion)) {
            needed.push_back(std::move(file));
        }
    }
    if (!CanStageFiles(needed, signedStage)) {
        return StagedUpdateCheck::BadManifest;
    }
    for (const ManifestFile& file : needed) {
        const std::wstring path = folder + file.name;
        if (!FileExists(path) ||
            (!file.digest.empty() && DigestOfFileLike(file.digest, path) != file.digest)) {
            return StagedUpdateCheck::FileMismatch;
        }
    }
    return StagedUpdateCheck::Valid;
}
