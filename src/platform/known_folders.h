// The platform's special folders.
#pragma once

#include <string>

#ifdef _WIN32
#include <shlobj.h>
#else
constexpr int CSIDL_LOCAL_APPDATA = 0x1C;   // per-user application data
constexpr int CSIDL_COMMON_APPDATA = 0x23;  // application data of all users
#endif

// The folder's full path without a trailing separator; empty when it cannot be had. Each can be
// redirected by the environment (SONGDECK_LOCAL_APPDATA, SONGDECK_COMMON_APPDATA) so that tests
// never touch the real folders.
std::wstring GetKnownFolderPath(int csidl);

// The special folder (a CSIDL) below which the user's update stage lives: it must belong to the
// user who applies it. Linux's all-users folder is the user's own already ($XDG_STATE_HOME);
// Windows' is shared by every user, who could plant a stage or a link in it before the client
// makes it, so there the per-user folder.
int GetUpdateStageFolder();
