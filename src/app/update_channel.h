// How this installation is updated. Self-update replaces files in the program folder, so it
// runs only where the user may write that folder and no package manager owns it (a package
// puts the marker file "package-managed" beside the executable).
#pragma once

#include <string>

bool IsSelfUpdateAllowed();
// One sentence for the option and about pages: how updates of this installation arrive.
std::wstring GetUpdateChannelText();
