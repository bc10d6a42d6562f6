// Private-profile (INI) files, with the original platform's names and semantics:
// case-insensitive section and key names, the first match wins, values trimmed, narrow text in
// code page 936 on disk, bounded reads, writes that create the file and the section.
#pragma once

#include <cstddef>

#include "platform/types.h"

#ifndef _WIN32

// Copies the key's value (or defaultValue when the key is missing) into buffer, cut to size - 1
// characters, and returns the count copied. A missing file reads as an empty one. A null
// section or key reads nothing.
DWORD GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD size, LPCWSTR fileName);

// Sets the key's value, creating the file, the section and the key as needed; a null value
// deletes the key, a null key the whole section. Every write replaces the file atomically,
// under a lock of its folder that other processes writing the file take too.
// Names or values that would break the file's lines (line breaks, a key with '=' or one that
// starts with '[', a section with ']') are refused and nothing is written.
BOOL WritePrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR value, LPCWSTR fileName);

#endif

// The client's reader: as GetPrivateProfileStringW, but the file is always read in code page
// 936, as the writer below writes it. The system's own reads in the machine's ANSI code page,
// which garbles Chinese text on every Windows that is not a Simplified-Chinese one.
DWORD ReadPrivateProfileString(LPCWSTR section, LPCWSTR key, LPCWSTR defaultValue, LPWSTR buffer,
                               DWORD size, LPCWSTR fileName);

// One key of a batch: a null value deletes the key.
struct PROFILE_WRITE {
    LPCWSTR section;
    LPCWSTR key;
    LPCWSTR value;
};

// Writes every key of the batch in one replacement of the file, so that another process, a
// kill or a refused key never leaves some of them written and others not: all land, or none
// does (FALSE). Keys the file cannot hold are refused as by WritePrivateProfileStringW.
BOOL WritePrivateProfileBatch(const PROFILE_WRITE* writes, size_t count, LPCWSTR fileName);
