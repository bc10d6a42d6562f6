// What the desktop around the client does for it.
#pragma once

#include <string>

namespace platform {

// Opens an http or https address in the user's default browser, outside the client. False for
// other addresses and when no browser could be started.
bool OpenUrlInBrowser(const std::wstring& url);

}  // namespace platform
