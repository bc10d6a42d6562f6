// The one browser context every page view shares: website data (cookies, storage, caches)
// persistent in the web data folder, downloads refused; and the user content every view starts
// with (no scroll bars).
#pragma once

#include <webkit2/webkit2.h>

#include <functional>

namespace platform::gtk {

WebKitWebContext* GetSharedWebContext();
// A new user content manager for one view (the caller owns it).
WebKitUserContentManager* CreateUserContent();

// Runs the UI thread's loop until done() or the deadline; true when done() became true.
// For the few browser questions that only have asynchronous answers.
bool WaitForBrowser(const std::function<bool()>& done, unsigned timeoutMs);

}  // namespace platform::gtk
