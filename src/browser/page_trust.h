// The pages the client trusts with window.external: its own local pages in res/ beside the
// executable and the pages of the service's web and desktop hosts. The hosts are deployment
// settings; a test.ini beside the executable may replace them, as it replaces the manifest URL
// (section CLIENT_PROFILE_SHEET, keys WEB_HOST, DESKTOP_HOST and HTTPS_ONLY).
#pragma once

#include <string>

#include "platform/trusted_pages.h"

// "name" or "name:port".
std::wstring GetServiceWebHost();
std::wstring GetServiceDesktopHost();
// Whether only https pages of the service hosts are trusted (off unless the build or test.ini
// turns it on).
bool IsServiceHttpsOnly();

platform::CTrustedPages GetTrustedPages();
