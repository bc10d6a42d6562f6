// Putting a staged update in place: the files the client's updater left in the update folder
// go into the program folder, all of them or none, and only when the stage verifies.
#pragma once

#include <functional>
#include <string>
#include <vector>

enum class StageResult {
    kNothingStaged,  // no staged manifest: the current version runs
    kRejected,       // the stage does not verify or names a file it cannot: left untouched
    kFailed,         // the program folder would not take a file: stage left for the next start
    kApplied,        // every file in place, the update folder emptied
};

// Decides whether the staged files may be applied (signature and digests) and names the files
// it checked, which are the ones applied; it moves nothing.
using StageVerifier =
    std::function<bool(const std::wstring& stageDir, std::vector<std::wstring>& names)>;

class CStagedUpdate {
public:
    // Both folders end with a path separator.
    CStagedUpdate(std::wstring stageDir, std::wstring programDir);

    StageResult Apply(const StageVerifier& verify);

private:
    // Every name a plain file name, its file a regular file of the stage and no link.
    bool AreStagedFiles(const std::vector<std::wstring>& names) const;
    bool PlaceBesideTarget(const std::wstring& name, std::wstring& placed) const;
    void EmptyStage() const;

    std::wstring m_strStageDir;
    std::wstring m_strProgramDir;
};

// A RunSongDeck2 delivered by an update becomes the launcher; a rename, so that there is a
// launcher at every moment. True when one was swapped in.
bool SwapDeliveredLauncher(const std::wstring& programDir);
