// How this installation is updated. Self-update replaces files in the program folder, so it
// runs only where the user may write that folder and no package manager owns it (a package
// puts the marker file "package-managed" beside the executable).
#pragma once

#include <string>

enum class UpdateChannel {
    kSelfUpdate,      // the client downloads updates and the launcher puts them in place
    kPackageManager,  // the system's package manager updates the installation
    kReadOnlyFolder,  // the program folder is not the user's to change
};

UpdateChannel GetUpdateChannel();
bool IsSelfUpdateAllowed();
// The channel's word for pages ("self", "package", "readonly"): the option page's
// GetOptionData("UPDATE_CHANNEL") answers it, and the page says how updates arrive.
std::wstring GetUpdateChannelName();
// One sentence for the log: how updates of this installation arrive.
std::wstring GetUpdateChannelText();
