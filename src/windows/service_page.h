// The service's start page, the page whose declared size the main window remembers.
#pragma once

#include <string>

// Whether a reported URL is the start page the client goes to: its scheme, the service's web
// host (the deployment's or test.ini's, with its port), path "/m" with nothing after it; scheme
// and host without regard to case.
bool IsServiceStartPage(const std::wstring& url);
