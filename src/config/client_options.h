// The configuration store: the options record kept in config.ini, options that pages define
// for themselves, and the start-at-login setting.
#pragma once

#include <cstdint>
#include <string>

#include "platform/automation.h"
#include "platform/types.h"

struct CClientOptions {
    uint16_t vk;           // virtual-key code of the show/hide hotkey
    uint16_t modifiers;    // 1 Shift, 2 Ctrl, 4 Alt (8, extended key, is ignored)
    int32_t autoUpdate;    // non-zero: check for updates silently at start
    int32_t mainWndWidth;  // client size of the main window; 0 = none stored yet
    int32_t mainWndHeight;
    int32_t firstCloseMainWnd;  // non-zero: the tray hint has not been shown yet
};

// The process-wide record, loaded from config.ini on the first call.
CClientOptions& GetClientOptions();
void LoadClientOptions();
void SaveClientOptions(const CClientOptions& options);
// Full path of config.ini; creates its folder, never the file.
std::wstring GetConfigIniPath();
// Forgets the loaded record so that the next GetClientOptions reads config.ini again, as a
// fresh process would. For tests only.
void ResetClientOptionsForTest();

BOOL IsAutoRunEnabled();
BOOL SetAutoRun(BOOL bEnable);
BOOL DeleteUserDataDir();

// VT_BSTR (8) or VT_INT (22). Raises HResultError(E_OUTOFMEMORY) when the text cannot be had.
VARIANT GetCustomOption(const std::wstring& name);
// Bounds of a page-defined option in UTF-16 code units, so config.ini stays small and quick to
// rewrite.
constexpr size_t kMaxCustomOptionName = 128;
constexpr size_t kMaxCustomOptionText = 4096;
// Whether the name and (for a text) the value are within those bounds.
bool CustomOptionFits(const std::wstring& name, const VARIANT& value);
// A text value's length in UTF-16 code units; 0 for any other kind.
size_t CustomOptionTextLength(const VARIANT& value);
// Writes the kind and the value together; FALSE when the option does not fit, the file cannot
// hold it (a line break in the name or the text) or the write fails, and then nothing changed.
BOOL SetCustomOption(const std::wstring& name, const VARIANT& value);
