// The per-user start-at-login entry, named by a value name and holding a command line (the Run
// registry value on the original platform; an XDG autostart entry on Linux).
#pragma once

#include "platform/types.h"

// Copies the entry's command into buffer (chars counts the terminator); FALSE when there is no
// entry or its command does not fit.
BOOL ReadAutoStartEntry(LPCWSTR valueName, LPWSTR buffer, DWORD chars);
BOOL WriteAutoStartEntry(LPCWSTR valueName, LPCWSTR command);
// FALSE when there was no entry to delete.
BOOL DeleteAutoStartEntry(LPCWSTR valueName);
