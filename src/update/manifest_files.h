// The file list of an update manifest, read the same way by the updater and by the check of a
// staged update.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

namespace platform {
class CXmlNode;
}

struct ManifestFile {
    std::wstring link;  // relative to the manifest URL's folder
    std::wstring name;  // the last segment of the link: the name in the update folder
    // The SHA-256 text when the entry has one, else its MD5 text; empty: no digest.
    std::wstring digest;
    LONGLONG version = 0;

    // Missing, 0 or negative versions are always fetched; others only when newer.
    bool IsNeededBy(LONGLONG currentVersion) const {
        return version <= 0 || version > currentVersion;
    }
};

// Every updater/download/file entry below root (the updater element), in order.
std::vector<ManifestFile> ReadManifestFiles(const platform::CXmlNode& root);

// Whether these files can be staged side by side in one folder: each name a plain file name
// (not ".", ".." or empty, none of the names the stage itself uses), no two names equal
// without regard to case, and, when digestsRequired, every file with a digest.
bool CanStageFiles(const std::vector<ManifestFile>& files, bool digestsRequired);

// Names the stage itself uses beside the files.
constexpr wchar_t kStagedManifestName[] = L"update.xml";
constexpr wchar_t kStagedSignatureName[] = L"update.xml.sig";
constexpr wchar_t kStagedNotesName[] = L"update.txt";
// A check fetches the manifest and its signature under names of their own, so that it never
// overwrites a stage that waits for the launcher.
constexpr wchar_t kCheckManifestName[] = L"update.check.xml";
constexpr wchar_t kCheckSignatureName[] = L"update.check.xml.sig";
