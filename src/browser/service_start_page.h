// The service's start page, where the local start page leads: path "/m" on the service's web
// host (a deployment setting that test.ini may replace).
#pragma once

#include <string>

std::wstring GetServiceStartUrl();
