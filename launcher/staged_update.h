// Putting a staged update in place: the files the client's updater left in the update folder
// go into the program folder, all of them or none, and only when the stage verifies.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "update/manifest_files.h"

// An applied stage's manifest while the stage is emptied: a stop part-way leaves a stage the
// next start recognises and finishes emptying, never files that no one removes.
constexpr wchar_t kAppliedManifestName[] = L"update.xml.applied";

enum class StageResult {
    kNothingStaged,  // no staged manifest: the current version runs
    kRejected,       // the stage does not verify or names a file it cannot: left untouched
    kFailed,         // the program folder would not take a file: stage left for the next start
    kApplied,        // every file in place, the update folder emptied
};

// Decides whether the staged files may be applied (signature and digests) and gives the files
// it checked with their digests, which are the ones applied; it moves nothing.
using StageVerifier =
    std::function<bool(const std::wstring& stageDir, std::vector<ManifestFile>& files)>;
// Called with the verified files before the first file of the program folder changes; false
// stops the apply with the old version whole.
using BeforeReplacing = std::function<bool(const std::vector<ManifestFile>& files)>;

class CStagedUpdate {
public:
    // Both folders end with a path separator.
    CStagedUpdate(std::wstring stageDir, std::wstring programDir);

    // A RunSongDeck2 among the applied files becomes the launcher before the stage is emptied;
    // one that the apply did not place is never swapped in here.
    StageResult Apply(const StageVerifier& verify, const BeforeReplacing& beforeReplacing = {});
    // Puts these files of the stage folder in place as Apply does (each checked against its
    // digest as it is copied), without a manifest and leaving the stage folder as it is.
    StageResult PutInPlace(const std::vector<ManifestFile>& files) const;
    // Ends the emptying of a stage that an applied update left half emptied.
    void FinishEmptying() const;
    // Empties the stage, its manifest first.
    void Drop() const { EmptyStage(); }

private:
    // Every name a plain file name, its file a regular file of the stage and no link.
    bool AreStagedFiles(const std::vector<ManifestFile>& files) const;
    // kApplied when the copy lies beside its target.
    StageResult PlaceBesideTarget(const ManifestFile& file, std::wstring& placed) const;
    // Copies an earlier apply left when it was stopped.
    void RemovePlacedCopies() const;
    // Adds the placed files to the setup's record of what it put in the program folder, where
    // there is one, so that the uninstaller removes them too.
    void RecordPlacedFiles(const std::vector<ManifestFile>& files) const;
    void EmptyStage() const;

    std::wstring m_strStageDir;
    std::wstring m_strProgramDir;
};
