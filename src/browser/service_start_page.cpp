#include "browser/service_start_page.h"

#include "browser/page_trust.h"

std::wstring GetServiceStartUrl() {
    // A deployment that trusts only https pages of its hosts serves its start page that way.
    return (IsServiceHttpsOnly() ? L"https://" : L"http://") + GetServiceWebHost() + L"/m";
}
