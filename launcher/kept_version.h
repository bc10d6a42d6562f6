// The version an update replaced, kept beside the update folder until the new version has
// proven that it starts, and put back when it does not.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"
#include "update/manifest_files.h"

class CKeptVersion {
public:
    // Both folders end with a path separator.
    CKeptVersion(std::wstring folder, std::wstring programDir);

    // A whole kept version: the installed one has not yet proven itself.
    bool IsKept() const;
    // The installed version has given its word that it started.
    bool IsProven() const;
    // A roll-back began and is to be finished before anything else.
    bool IsRollingBack() const;

    // Copies the program files that these update files replace, each checked as it is copied,
    // then lists them; only the list makes the kept version whole. version: the update's. False,
    // with nothing kept, when a file cannot be kept or something not a plain file (a link, a
    // folder) stands in a replaced file's place.
    bool Keep(const std::vector<ManifestFile>& files, LONGLONG version);
    enum class RollBackResult {
        kBack,      // the kept files are in place again
        kRetry,     // the program folder would not take them: tried again at the next start
        kUnusable,  // the list is unreadable or a kept file is missing or changed: never can be
    };
    // Puts the kept files back and removes the files the update added. refused: the version to
    // refuse once back (0 when none: not refuse, or unknown). A roll-back that was begun keeps
    // the refuse it began with.
    RollBackResult RollBack(bool refuse, LONGLONG& refused) const;
    // The list goes first, so that a stop part-way leaves no kept version that looks whole.
    void Remove() const;

private:
    std::wstring m_strFolder;
    std::wstring m_strProgramDir;
};
