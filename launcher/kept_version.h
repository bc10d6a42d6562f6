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
    // then lists them; only the list makes the kept version whole. version: the update's.
    bool Keep(const std::vector<ManifestFile>& files, LONGLONG version);
    // Puts the kept files back and removes the files the update added. Returns the version to
    // refuse (0 when none: not refuse, or unknown), or -1 when the program folder would not take
    // the kept files, which are then tried again at the next start. A roll-back that was begun
    // keeps the refuse it began with.
    LONGLONG RollBack(bool refuse) const;
    // The list goes first, so that a stop part-way leaves no kept version that looks whole.
    void Remove() const;

private:
    std::wstring m_strFolder;
    std::wstring m_strProgramDir;
};
