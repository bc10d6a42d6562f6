// The WebKitGTK form of the platform web view (Linux-internal).
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <memory>
#include <set>
#include <string>

#include "platform/trusted_pages.h"
#include "platform/web_view.h"

namespace platform::gtk {

class CWebViewGtk : public IWebView {
public:
    // events may be null: such a view has no window.external members.
    explicit CWebViewGtk(IWebViewEvents* events);
    ~CWebViewGtk() override;
    CWebViewGtk(const CWebViewGtk&) = delete;
    CWebViewGtk& operator=(const CWebViewGtk&) = delete;

    GtkWidget* GetWidget() const { return GTK_WIDGET(m_pView); }

    void SetTrustedPages(const CTrustedPages& trusted) override;
    void Navigate(const std::wstring& url) override;
    void SetSilent(bool silent) override;
    bool GetBodyInlineSize(std::wstring* width, std::wstring* height) override;
    std::wstring GetUrl() const override;

    // Full file paths become file URLs; everything else is an address already.
    static std::string UrlFromLocation(const std::wstring& location);
    // The other way round for the notifications: file URLs are reported as file paths.
    static std::wstring LocationFromUrl(const char* url);

    // Answers one window.external request from a document of this view; returns the answer
    // text for the prompt.
    std::string AnswerBridgeRequest(const char* request);

private:
    void Connect();
    // The calling document and the page shown are both trusted.
    bool IsCallerTrusted(const std::wstring& frameUrl) const;
    static gboolean OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer data);
    static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data);
    static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, gchar* uri,
                                 GError* error, gpointer data);
    static void OnTitleChanged(GObject* view, GParamSpec* spec, gpointer data);
    static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                   WebKitPolicyDecisionType type, gpointer data);
    static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
    static void OnResourceLoadStarted(WebKitWebView* view, WebKitWebResource* resource,
                                      WebKitURIRequest* request, gpointer self);
    static void OnFrameLoadFailed(WebKitWebResource* resource, GError* error, gpointer self);
    static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);

    WebKitWebView* m_pView = nullptr;
    IWebViewEvents* m_pEvents = nullptr;
    // False once the object is gone; handlers that called out check it before going on.
    std::shared_ptr<bool> m_pAlive = std::make_shared<bool>(true);
    // This view's bridge marker and the pages it trusts.
    std::string m_strMarker;
    CTrustedPages m_trusted;
    // The address of the document the view shows, from the moment it is committed.
    std::wstring m_strCommittedUrl;
    // The body size the shown document reported.
    bool m_bHasBodySize = false;
    std::wstring m_strBodyWidth;
    std::wstring m_strBodyHeight;
    // Addresses of navigations on their way, to tell a frame's document among the resources.
    std::set<std::string> m_navigations;
    bool m_bSilent = false;
    // The load in progress failed, or is the browser's error page for a failed one; neither
    // is reported as a completed navigation.
    bool m_bLoadFailed = false;
    bool m_bErrorPagePending = false;
    bool m_bErrorPageLoad = false;
    // Navigations asked for by the owner, to see one started inside an event.
    unsigned m_nNavigations = 0;
    // A navigation asked for while the error page is on its way (see Navigate).
    std::string m_strDeferredUrl;
    // A redraw of the whole view is on its way (see OnDraw).
    bool m_bWholeRedrawQueued = false;
};

}  // namespace platform::gtk
