#include "platform/linux/web_view_gtk.h"

#include <cstring>
#include <filesystem>

#include "platform/files.h"
#include "platform/linux/bridge_script.h"
#include "platform/linux/web_context_gtk.h"
#include "platform/script_call_codec.h"
#include "platform/shell_execute.h"
#include "platform/text_encoding.h"
#include "platform/url_parts.h"

namespace platform::gtk {
namespace {

// Navigations remembered to tell frame documents among the resources; more than this many
// outstanding means most never started, and the list starts again.
constexpr size_t kMaxPendingNavigations = 64;

// The view's owner, found from the WebKit view in handlers that may outlive it.
constexpr const char kOwnerKey[] = "songdeck-view";
// The view's bridge marker, kept with the WebKit view for its orphaned dialogs.
constexpr const char kMarkerKey[] = "songdeck-bridge-marker";

std::wstring TextOf(const char* text) {
    return Utf8ToWide(text != nullptr ? text : "");
}

bool IsCancellation(GError* error) {
    // A load replaced by another one, or one that became a download, did not fail.
    return g_error_matches(error, WEBKIT_NETWORK_ERROR, WEBKIT_NETWORK_ERROR_CANCELLED) ||
           g_error_matches(error, WEBKIT_POLICY_ERROR,
                           WEBKIT_POLICY_ERROR_FRAME_LOAD_INTERRUPTED_BY_POLICY_CHANGE);
}

// Bridge dialogs in progress on a view. WebKit must finish such a dialog before its view is
// destroyed, so a view that goes away inside a call is destroyed later.
constexpr const char kDialogDepthKey[] = "songdeck-bridge-depth";

int DialogDepth(WebKitWebView* view) {
    return GPOINTER_TO_INT(g_object_get_data(G_OBJECT(view), kDialogDepthKey));
}

void AddDialogDepth(WebKitWebView* view, int change) {
    g_object_set_data(G_OBJECT(view), kDialogDepthKey, GINT_TO_POINTER(DialogDepth(view) + change));
}

// Answers what the rest of a page's script asks after its view's owner has gone.
gboolean OnOrphanDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer) {
    const char* message = webkit_script_dialog_get_message(dialog);
    const char* marker = static_cast<const char*>(g_object_get_data(G_OBJECT(view), kMarkerKey));
    if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_PROMPT &&
        message != nullptr && marker != nullptr &&
        std::strncmp(message, marker, std::strlen(marker)) == 0) {
        webkit_script_dialog_prompt_set_text(
            dialog, EncodeScriptAnswer(DISP_E_UNKNOWNNAME, nullptr).c_str());
    }
    return TRUE;
}

gboolean DestroyWhenIdle(gpointer data) {
    auto* view = static_cast<WebKitWebView*>(data);
    if (DialogDepth(view) > 0) {
        return G_SOURCE_CONTINUE;
    }
    gtk_widget_destroy(GTK_WIDGET(view));
    g_object_unref(view);
    return G_SOURCE_REMOVE;
}

// The address a navigation asks for, copied: WebKit makes the text again at every request for
// it, freeing the one handed out before.
std::string RequestedUrl(WebKitNavigationAction* action) {
    const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
    return uri != nullptr ? uri : "";
}

bool IsUserHttpRequest(WebKitNavigationAction* action, const std::string& url) {
    return webkit_navigation_action_is_user_gesture(action) &&
           (g_str_has_prefix(url.c_str(), "http:") || g_str_has_prefix(url.c_str(), "https:"));
}

}  // namespace

std::string CWebViewGtk::AnswerBridgeRequest(const char* request) {
    CScriptRequest decoded;
    HRESULT hr = decoded.Decode(request);
    if (FAILED(hr)) {
        return EncodeScriptAnswer(hr, nullptr);
    }
    // A marker that leaked to a foreign document, or a call from a page the view has left,
    // reaches nothing.
    if (m_pEvents == nullptr || !IsCallerTrusted(decoded.m_strFrameUrl)) {
        return EncodeScriptAnswer(DISP_E_UNKNOWNNAME, nullptr);
    }
    switch (decoded.m_nKind) {
        case CScriptRequest::kFrameLoaded:
            m_pEvents->OnLoadFinished(LocationFromUrl(WideToUtf8(decoded.m_strFrameUrl).c_str()));
            return EncodeScriptAnswer(S_OK, nullptr);
        case CScriptRequest::kPageSize:
            m_bHasBodySize = true;
            m_strBodyWidth = decoded.m_strName;
            m_strBodyHeight = decoded.m_strHeight;
            return EncodeScriptAnswer(S_OK, nullptr);
        case CScriptRequest::kLookUp:
            return EncodeScriptAnswer(m_pEvents->OnExternalLookUp(decoded.m_strName), nullptr);
        case CScriptRequest::kCall:
            break;
    }
    VARIANT result;
    VariantInit(&result);
    hr = m_pEvents->OnExternalCall(decoded.m_strName, decoded.m_wFlags, decoded.m_args, &result);
    std::string answer = EncodeScriptAnswer(hr, SUCCEEDED(hr) ? &result : nullptr);
    VariantClear(&result);
    return answer;
}

bool CWebViewGtk::IsCallerTrusted(const std::wstring& frameUrl) const {
    return m_trusted.IsTrusted(m_strCommittedUrl) && m_trusted.IsTrusted(frameUrl);
}

CWebViewGtk::CWebViewGtk(IWebViewEvents* events)
    : m_pEvents(events), m_strMarker(MakeBridgeMarker()) {
    WebKitUserContentManager* content = CreateUserContent();
    m_pView =
        WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", PeekSharedWebContext(),
                                     "user-content-manager", content, nullptr));
    g_object_unref(content);
    g_object_ref_sink(m_pView);
    g_object_set_data_full(G_OBJECT(m_pView), kMarkerKey, g_strdup(m_strMarker.c_str()), g_free);
    g_object_set_data(G_OBJECT(m_pView), kOwnerKey, this);
    Connect();
}

CWebViewGtk::~CWebViewGtk() {
    *m_pAlive = false;
    g_object_set_data(G_OBJECT(m_pView), kOwnerKey, nullptr);
    g_signal_handlers_disconnect_by_data(m_pView, this);
    g_signal_connect(m_pView, "script-dialog", G_CALLBACK(OnOrphanDialog), nullptr);
    webkit_web_view_stop_loading(m_pView);
    GtkWidget* parent = gtk_widget_get_parent(GTK_WIDGET(m_pView));
    if (parent != nullptr) {
        gtk_container_remove(GTK_CONTAINER(parent), GTK_WIDGET(m_pView));
    }
    if (DialogDepth(m_pView) > 0) {
        g_timeout_add(20, DestroyWhenIdle, m_pView);
    } else {
        DestroyWhenIdle(m_pView);
    }
}

void CWebViewGtk::Connect() {
    // Pages open no windows inside the client (see OnDecidePolicy and OnCreate).
    webkit_settings_set_javascript_can_open_windows_automatically(
        webkit_web_view_get_settings(m_pView), FALSE);
    g_signal_connect(m_pView, "script-dialog", G_CALLBACK(OnScriptDialog), this);
    g_signal_connect(m_pView, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(m_pView, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(m_pView, "notify::title", G_CALLBACK(OnTitleChanged), this);
    g_signal_connect(m_pView, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(m_pView, "create", G_CALLBACK(OnCreate), this);
    g_signal_connect(m_pView, "resource-load-started", G_CALLBACK(OnResourceLoadStarted), this);
    g_signal_connect(m_pView, "draw", G_CALLBACK(OnDraw), this);
}

void CWebViewGtk::SetTrustedPages(const CTrustedPages& trusted) {
    m_trusted = trusted;
    WebKitUserContentManager* content = webkit_web_view_get_user_content_manager(m_pView);
    webkit_user_content_manager_remove_all_scripts(content);
    if (trusted.IsEmpty()) {
        return;
    }
    std::string source = BuildBridgeScript(m_strMarker, trusted);
    WebKitUserScript* script =
        webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, script);
    webkit_user_script_unref(script);
}

std::string CWebViewGtk::UrlFromLocation(const std::wstring& location) {
    std::string text = WideToUtf8(location);
    CUrlParts parts;
    if (!parts.Parse(location) && PathFromWide(location).is_absolute()) {
        // A page's path may carry a query or fragment ("res/p.html?t=12:30"), yet '?' and '#'
        // may be a file name's own: the file is the whole path if it exists, else the first
        // part before a '?' or '#' that names one.
        size_t cut = location.size();
        std::error_code error;
        if (!std::filesystem::is_regular_file(PathFromWide(location), error)) {
            for (size_t at = location.find_first_of(L"?#"); at != std::wstring::npos;
                 at = location.find_first_of(L"?#", at + 1)) {
                if (std::filesystem::is_regular_file(PathFromWide(location.substr(0, at)), error)) {
                    cut = at;
                    break;
                }
            }
        }
        // Paths may be written with '\' between folders, as the system's code does.
        std::string path = PathFromWide(location.substr(0, cut)).native();
        gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        if (uri != nullptr) {
            text = uri + WideToUtf8(location.substr(cut));
            g_free(uri);
        }
    }
    return text;
}

std::wstring CWebViewGtk::LocationFromUrl(const char* url) {
    if (url != nullptr && g_str_has_prefix(url, "file:")) {
        gchar* path = g_filename_from_uri(url, nullptr, nullptr);
        if (path != nullptr) {
            std::wstring location = Utf8ToWide(path);
            g_free(path);
            return location;
        }
    }
    return TextOf(url);
}

void CWebViewGtk::Navigate(const std::wstring& url) {
    if (!IsPageLocation(url)) {
        if (m_pEvents != nullptr) {
            m_pEvents->OnLoadFailed(url);
        }
        return;
    }
    ++m_nNavigations;
    if (m_bErrorPagePending || m_bErrorPageLoad) {
        // The error page of a failed load would still replace a navigation started now, so
        // this one waits until the error page is shown.
        m_strDeferredUrl = UrlFromLocation(url);
        return;
    }
    // Cookies of the first page already come from the persistent store.
    GetSharedWebContext();
    webkit_web_view_load_uri(m_pView, UrlFromLocation(url).c_str());
}

void CWebViewGtk::SetSilent(bool silent) {
    m_bSilent = silent;
}

std::wstring CWebViewGtk::GetUrl() const {
    return LocationFromUrl(webkit_web_view_get_uri(m_pView));
}

bool CWebViewGtk::GetBodyInlineSize(std::wstring* width, std::wstring* height) {
    if (!m_bHasBodySize) {
        return false;
    }
    *width = m_strBodyWidth;
    *height = m_strBodyHeight;
    return true;
}

gboolean CWebViewGtk::OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog,
                                     gpointer data) {
    auto* self = static_cast<CWebViewGtk*>(data);
    WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
    const char* message = webkit_script_dialog_get_message(dialog);
    const std::string& marker = self->m_strMarker;
    if (type == WEBKIT_SCRIPT_DIALOG_PROMPT && message != nullptr &&
        std::strncmp(message, marker.c_str(), marker.size()) == 0) {
        // The command may close the window and so destroy this object; the view itself lives
        // on until the dialog is answered (see the destructor).
        g_object_ref(view);
        AddDialogDepth(view, 1);
        std::string answer = self->AnswerBridgeRequest(message + marker.size());
        webkit_script_dialog_prompt_set_text(dialog, answer.c_str());
        AddDialogDepth(view, -1);
        g_object_unref(view);
        return TRUE;
    }
    if (!self->m_bSilent) {
        return FALSE;
    }
    // Silent: the page's dialogs are answered as if dismissed, and leaving is never held up.
    if (type == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
    } else if (type == WEBKIT_SCRIPT_DIALOG_CONFIRM) {
        webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
    }
    return TRUE;
}

void CWebViewGtk::OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer data) {
    auto* self = static_cast<CWebViewGtk*>(data);
    if (event == WEBKIT_LOAD_STARTED) {
        self->m_bErrorPageLoad = self->m_bErrorPagePending;
        self->m_bErrorPagePending = false;
        self->m_bLoadFailed = false;
        return;
    }
    if (event == WEBKIT_LOAD_COMMITTED) {
        // From here on calls come from the new document (the error page too), which reports
        // its own size.
        self->m_strCommittedUrl = TextOf(webkit_web_view_get_uri(view));
        self->m_bHasBodySize = false;
    }
    if (self->m_bErrorPageLoad) {
        if (event == WEBKIT_LOAD_FINISHED) {
            self->m_bErrorPageLoad = false;
            if (!self->m_strDeferredUrl.empty()) {
                std::string url;
                url.swap(self->m_strDeferredUrl);
                webkit_web_view_load_uri(view, url.c_str());
            }
        }
        return;
    }
    if (self->m_pEvents == nullptr || self->m_bLoadFailed) {
        return;
    }
    std::wstring url = LocationFromUrl(webkit_web_view_get_uri(view));
    if (event == WEBKIT_LOAD_COMMITTED) {
        self->m_pEvents->OnNavigationCommitted(url);
    } else if (event == WEBKIT_LOAD_FINISHED) {
        self->m_pEvents->OnLoadFinished(url);
    }
}

gboolean CWebViewGtk::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                                   gpointer data) {
    auto* self = static_cast<CWebViewGtk*>(data);
    if (IsCancellation(error)) {
        return FALSE;
    }
    self->m_bLoadFailed = true;
    if (self->m_pEvents != nullptr) {
        std::shared_ptr<bool> alive = self->m_pAlive;
        unsigned navigations = self->m_nNavigations;
        self->m_pEvents->OnLoadFailed(LocationFromUrl(uri));
        // The owner went elsewhere: its navigation goes ahead instead of the error page.
        if (!*alive || self->m_nNavigations != navigations) {
            return TRUE;
        }
    }
    // The browser's own error page.
    self->m_bErrorPagePending = true;
    return FALSE;
}

void CWebViewGtk::OnTitleChanged(GObject* view, GParamSpec*, gpointer data) {
    auto* self = static_cast<CWebViewGtk*>(data);
    const char* title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(view));
    if (self->m_pEvents != nullptr && title != nullptr && *title != '\0' &&
        !self->m_bErrorPageLoad) {
        self->m_pEvents->OnTitleChanged(Utf8ToWide(title));
    }
}

gboolean CWebViewGtk::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                     WebKitPolicyDecisionType type, gpointer data) {
    auto* self = static_cast<CWebViewGtk*>(data);
    if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) {
        // What the browser cannot show would become a download: refused.
        if (!webkit_response_policy_decision_is_mime_type_supported(
                WEBKIT_RESPONSE_POLICY_DECISION(decision))) {
            webkit_policy_decision_ignore(decision);
            return TRUE;
        }
        return FALSE;
    }
    bool newWindow = type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION;
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    const std::string uri = RequestedUrl(action);
    bool cancel = false;
    bool userHttp = newWindow && IsUserHttpRequest(action, uri);
    if (self->m_pEvents != nullptr) {
        std::wstring url = LocationFromUrl(uri.c_str());
        std::wstring frame = TextOf(webkit_navigation_action_get_frame_name(action));
        std::shared_ptr<bool> alive = self->m_pAlive;
        g_object_ref(decision);
        cancel = self->m_pEvents->OnBeforeNavigate(url, frame);
        if (!*alive) {
            cancel = true;
        }
        if (cancel || newWindow) {
            webkit_policy_decision_ignore(decision);
        }
        g_object_unref(decision);
        if (!*alive) {
            return TRUE;
        }
    } else if (newWindow) {
        webkit_policy_decision_ignore(decision);
    }
    if (newWindow) {
        // Nothing opens inside the client; a page the user asked for opens in the browser.
        if (!cancel && userHttp) {
            OpenUrlInBrowser(TextOf(uri.c_str()));
        }
        return TRUE;
    }
    if (!cancel && !uri.empty()) {
        if (self->m_navigations.size() >= kMaxPendingNavigations) {
            self->m_navigations.clear();
        }
        self->m_navigations.insert(uri);
    }
    return cancel ? TRUE : FALSE;
}

GtkWidget* CWebViewGtk::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer) {
    // Reached only when no new-window decision came first (window.open from script).
    const std::string uri = RequestedUrl(action);
    if (IsUserHttpRequest(action, uri)) {
        OpenUrlInBrowser(TextOf(uri.c_str()));
    }
    return nullptr;
}

void CWebViewGtk::OnResourceLoadStarted(WebKitWebView* view, WebKitWebResource* resource,
                                        WebKitURIRequest* request, gpointer data) {
    auto* self = static_cast<CWebViewGtk*>(data);
    const char* uri = webkit_uri_request_get_uri(request);
    auto pending = uri != nullptr ? self->m_navigations.find(uri) : self->m_navigations.end();
    if (pending == self->m_navigations.end()) {
        return;
    }
    self->m_navigations.erase(pending);
    // The page's own failures come as load-failed; this is a frame's document.
    if (resource != webkit_web_view_get_main_resource(view)) {
        g_signal_connect_object(resource, "failed", G_CALLBACK(OnFrameLoadFailed), view,
                                static_cast<GConnectFlags>(0));
    }
}

void CWebViewGtk::OnFrameLoadFailed(WebKitWebResource* resource, GError* error, gpointer view) {
    auto* self = static_cast<CWebViewGtk*>(g_object_get_data(G_OBJECT(view), kOwnerKey));
    if (self == nullptr || self->m_pEvents == nullptr || IsCancellation(error)) {
        return;
    }
    self->m_pEvents->OnLoadFailed(LocationFromUrl(webkit_web_resource_get_uri(resource)));
}

gboolean CWebViewGtk::OnDraw(GtkWidget* widget, cairo_t* cr, gpointer data) {
    // Asked to draw only part of itself after another window uncovered it (the tray menu over
    // a popup), the view fills only a band of that part and leaves the rest grey; drawn whole,
    // it is right. So a partial draw is followed by one of the whole view.
    auto* self = static_cast<CWebViewGtk*>(data);
    GdkRectangle clip{};
    const bool whole = !gdk_cairo_get_clip_rectangle(cr, &clip) ||
                       (clip.x <= 0 && clip.y <= 0 &&
                        clip.x + clip.width >= gtk_widget_get_allocated_width(widget) &&
                        clip.y + clip.height >= gtk_widget_get_allocated_height(widget));
    if (whole) {
        self->m_bWholeRedrawQueued = false;
    } else if (!self->m_bWholeRedrawQueued) {
        self->m_bWholeRedrawQueued = true;
        gtk_widget_queue_draw(widget);
    }
    return FALSE;
}

}  // namespace platform::gtk
