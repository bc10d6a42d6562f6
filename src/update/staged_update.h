// The check the launcher makes before it applies a staged update: the stage is taken only as
// the signed manifest describes it.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"
#include "update/manifest_files.h"

enum class StagedUpdateCheck {
    Valid,
    NoManifest,    // no readable update.xml
    BadSignature,  // the build holds keys and update.xml.sig is missing or does not verify
    BadManifest,   // not a manifest, or a file list that cannot be staged
    FileMismatch,  // a listed file is missing or its digest differs
    OlderVersion,  // the manifest's version is below the installed one: never applied
};

// Checks folder (ending in a separator) without changing anything in it: update.xml against
// update.xml.sig with the built-in keys (when the build holds any), then every file the
// manifest lists for a client at currentVersion (0: every listed file) against its digest.
// A stage of an older version than currentVersion is refused however well it is signed: an
// old release may carry flaws since mended. The same version passes, so that an apply stopped
// after the client was replaced is completed.
// When the stage is valid and verifiedFiles is given, it receives those files and every other
// listed file that is staged with a matching digest, so that the stage is applied whole.
StagedUpdateCheck VerifyStagedUpdate(const std::wstring& folder, LONGLONG currentVersion,
                                     std::vector<ManifestFile>* verifiedFiles = nullptr,
                                     LONGLONG* stagedVersion = nullptr);
