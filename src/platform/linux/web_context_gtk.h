// The one browser context every page view shares: website data (cookies, storage, caches)
// persistent in the web data folder, downloads refused; and the user content every view starts
// with (no scroll bars).
#pragma once

#include <webkit2/webkit2.h>

#include <functional>

namespace platform::gtk {

// With the cookie store persistent in the web data folder; the first call starts the browser's
// network process.
WebKitWebContext* GetSharedWebContext();
// Without asking for the cookie store: a view is made with it, so the network process does not
// start while the view sets itself up, and asks for the store before its first load.
WebKitWebContext* PeekSharedWebContext();
// A new user content manager for one view (the caller owns it).
WebKitUserContentManager* CreateUserContent();

// Runs the UI thread's loop until done() or the deadline; true when done() became true.
// For the few browser questions that only have asynchronous answers.
bool WaitForBrowser(const std::function<bool()>& done, unsigned timeoutMs);

}  // namespace platform::gtk
