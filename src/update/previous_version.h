// The version the launcher keeps while a new one proves that it starts, and what the client and
// the updater learn from it: the client's word that it started, the version refused after a
// failed start, and the one-time notice that the previous version was kept.
#pragma once

#include <string>

#include "platform/types.h"

// Beside the update folder; ends with a separator.
std::wstring PreviousVersionDir();
// Written by a client once its main window has shown its first page or its mode has finished.
constexpr wchar_t kStartedWordName[] = L"started";
// The list of the kept files; while it exists the installed version has not yet proven itself.
constexpr wchar_t kPreviousListName[] = L"list";

// Gives the word, atomically and once, while a previous version waits for it.
void ReportVersionStarted();

// The version the launcher took back after it failed to start; 0 when none was.
LONGLONG RefusedVersion();
// Records the refused version and leaves the notice for the next client that shows its window.
void RecordRefusedVersion(LONGLONG version);
// True once after a version was refused; the notice is gone afterwards.
bool TakeRefusedVersionNotice();
// Removes the kept version and, withRefused, the refused version's records, each as itself
// where it is a link; for setup's modes, once the folder around them is known to be no link.
// A fresh install supersedes a kept version, which must never go back over it.
void RemoveVersionRecords(bool withRefused);
