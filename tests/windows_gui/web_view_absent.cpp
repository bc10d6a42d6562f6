// For a build without the browser control host: page windows get no view (as when the control
// cannot be made), so their frames, placement and slides are tested on their own.
#include "platform/web_view.h"

namespace platform {

std::unique_ptr<IWebView> CreateWebView(HWND, IWebViewEvents*) {
    return nullptr;
}
std::unique_ptr<IWebView> CreateWebView(IWebViewEvents*) {
    return nullptr;
}
bool PlaceWebView(IWebView&, HWND) {
    return false;
}
void SetWebDataDirectory(const std::wstring&) {}
bool IsWebDataDirectorySet() {
    return true;
}
bool GetCookieText(const std::wstring&, std::wstring*) {
    return false;
}
bool SetCookieText(const std::wstring&, const std::wstring&, const std::wstring&) {
    return false;
}

}  // namespace platform
