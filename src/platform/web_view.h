// The platform's web browser view: one page inside a child window, its events, and the
// synchronous window.external channel the page calls the system through.
//
// All views share one browser context: cookies, storage and caches are common to every page
// window and persist in the folder given to SetWebDataDirectory.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/automation.h"
#include "platform/trusted_pages.h"
#include "platform/types.h"

namespace platform {

// What a view reports to its owner. Every call comes on the UI thread, from inside the
// browser's own event handling.
class IWebViewEvents {
public:
    virtual ~IWebViewEvents() = default;
    virtual void OnTitleChanged(const std::wstring& title) = 0;
    // The view has started showing the page at url (it may still be loading).
    virtual void OnNavigationCommitted(const std::wstring& url) = 0;
    // A document has loaded: a trusted frame's (before the page's own), or the page's. Frames
    // of foreign documents report nothing.
    virtual void OnLoadFinished(const std::wstring& url) = 0;
    // A load of the page or of any frame failed (url is that page's or frame's). A load
    // replaced by another one did not fail. The browser shows its own error page afterwards.
    virtual void OnLoadFailed(const std::wstring& url) = 0;
    // Before a navigation of any frame (or a new window) starts; true cancels it. New windows
    // never open inside the client: when not cancelled, an http or https one that the user
    // asked for with a click goes to the user's browser.
    virtual bool OnBeforeNavigate(const std::wstring& url, const std::wstring& targetFrame) = 0;
    // window.external: the page asks whether a member exists (S_OK or DISP_E_UNKNOWNNAME).
    virtual HRESULT OnExternalLookUp(const std::wstring& name) = 0;
    // window.external: a call (DISPATCH_METHOD) or property read (DISPATCH_PROPERTYGET) of a
    // member, arguments in the script's order. The result goes back to the script.
    virtual HRESULT OnExternalCall(const std::wstring& name, WORD flags,
                                   const std::vector<VARIANT>& args, VARIANT* result) = 0;
};

class IWebView {
public:
    virtual ~IWebView() = default;
    // The pages that get window.external; before it is set, none. Set it before the first
    // navigation.
    virtual void SetTrustedPages(const CTrustedPages& trusted) = 0;
    // Local files are given as full paths (or file: URLs), pages as http or https addresses.
    // Anything else (javascript:, data:, "httpx:", relative paths, "") is not loaded and is
    // reported through OnLoadFailed before this returns, so the owner knows it will show nothing.
    virtual void Navigate(const std::wstring& url) = 0;
    // Silent: the page's own dialogs (alert, confirm, prompt) are not shown.
    virtual void SetSilent(bool silent) = 0;
    // The body's inline style width and height texts of the trusted page in the view, as its
    // document last reported them (before it was reported as loaded, and whenever the body's
    // style changed since). Answers at once; false when the page has no body, has not reported
    // it yet, or is foreign.
    virtual bool GetBodyInlineSize(std::wstring* width, std::wstring* height) = 0;
    // The address of the page shown ("" before the first navigation).
    virtual std::wstring GetUrl() const = 0;
};

// Creates a view that fills the child window (WS_CHILD) and reports to events, which must
// outlive the view. Null when the window is not a child window.
std::unique_ptr<IWebView> CreateWebView(HWND childWindow, IWebViewEvents* events);
// Creates a view in no window yet: its page may start loading (and the browser's processes
// start) while its window is being made. PlaceWebView then shows it in a child window.
std::unique_ptr<IWebView> CreateWebView(IWebViewEvents* events);
// Puts a view made by CreateWebView(events) into a child window (WS_CHILD), filling it; false
// for any other window.
bool PlaceWebView(IWebView& view, HWND childWindow);

// Where the shared browser context keeps its data (cookies, storage, caches). The first
// folder given counts, and only before the first view is made; without one a folder below
// the user's data home is used.
void SetWebDataDirectory(const std::wstring& folder);
bool IsWebDataDirectorySet();

// The shared cookie store, synchronous on the UI thread. HttpOnly cookies are out of reach,
// as they are for a page's script: never read, set or replaced through these.
// The cookies a request to url would carry, as "name1=value1; name2=value2"; false when it
// has none.
bool GetCookieText(const std::wstring& url, std::wstring* text);
// Stores "name=data" for url; data may carry attributes ("1; expires=..."). False when the
// cookie is refused: an HttpOnly one, or one that would replace or shadow an HttpOnly one sent
// to url, to where its Domain= and Path= put it, or to any of serviceHosts that its Domain=
// covers.
bool SetCookieText(const std::wstring& url, const std::wstring& name, const std::wstring& data,
                   const std::vector<std::wstring>& serviceHosts = {});

}  // namespace platform
