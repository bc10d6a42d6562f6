// What the client tells about the platform it runs on.
#pragma once

#include "platform/types.h"

// The platform's name as a user agent shows it ("Linux", "Windows").
const wchar_t* GetPlatformName();
// The platform's version; false (and zeros) when it cannot be read.
bool GetPlatformVersion(DWORD& major, DWORD& minor, DWORD& build);
