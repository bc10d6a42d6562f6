// The browser views of the Windows client: the WebBrowser control in a child window. Its
// cookies, storage and caches live in WinINet's per-user store, whatever folder is recorded.
#include <windows.h>

#include "platform/web_view.h"
#include "platform/win32/web_browser_view.h"

namespace platform {
namespace {

std::wstring& DataDirectory() {
    static std::wstring folder;
    return folder;
}

}  // namespace

std::unique_ptr<IWebView> CreateWebView(HWND childWindow, IWebViewEvents* events) {
    auto view = std::make_unique<win32::CWebBrowserView>(events);
    if (!view->HasBrowser() || !view->Place(childWindow)) {
        return nullptr;
    }
    return view;
}

std::unique_ptr<IWebView> CreateWebView(IWebViewEvents* events) {
    auto view = std::make_unique<win32::CWebBrowserView>(events);
    if (!view->HasBrowser()) {
        return nullptr;
    }
    return view;
}

bool PlaceWebView(IWebView& view, HWND childWindow) {
    auto* browserView = dynamic_cast<win32::CWebBrowserView*>(&view);
    return browserView != nullptr && browserView->Place(childWindow);
}

void SetWebDataDirectory(const std::wstring& folder) {
    if (DataDirectory().empty()) {
        DataDirectory() = folder;
    }
}

bool IsWebDataDirectorySet() {
    return !DataDirectory().empty();
}

}  // namespace platform
