// Putting a staged update in place: the files the client's updater left in the update folder
// go into the program folder, all of them or none, and only when the stage verifies.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/types.h"

enum class StageResult {
    kNothingStaged,  // no staged manifest: the current version runs
    kRejected,       // the stage does not verify or names a file it cannot: left untouched
    kFailed,         // the program folder would not take a file: stage left for the next start
    kApplied,        // every file in place, the update folder emptied
};

// Decides whether the staged files may be applied (signature and digests); it moves nothing.
using StageVerifier = std::function<bool(const std::wstring& stageDir)>;

class CStagedUpdate {
public:
    // Both folders end with a path separator; currentVersion is the version in the program
    // folder, which decides the files the stage must hold (0: every listed file).
    CStagedUpdate(std::wstring stageDir, std::wstring programDir, LONGLONG currentVersion);

    StageResult Apply(const StageVerifier& verify);

    // The names of the staged files the manifest lists for the current version (each link's
    // last segment); false when the manifest cannot be read, a name is unsafe or a file is
    // missing or not a plain file.
    bool ReadStagedNames(std::vector<std::wstring>& names) const;

private:
    bool PlaceBesideTarget(const std::wstring& name, std::wstring& placed) const;
    void EmptyStage() const;

    std::wstring m_strStageDir;
    std::wstring m_strProgramDir;
    LONGLONG m_nCurrentVersion;
};

// A RunSongDeck2 delivered by an update becomes the launcher; a rename, so that there is a
// launcher at every moment. True when one was swapped in.
bool SwapDeliveredLauncher(const std::wstring& programDir);
