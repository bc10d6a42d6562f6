#include "platform/linux/web_view_gtk.h"

#include <cstring>

#include "platform/linux/bridge_script.h"
#include "platform/files.h"
#include "platform/text_encoding.h"
#include "platform/linux/web_context_gtk.h"
#include "platform/script_call_codec.h"

namespace platform::gtk {
namespace {

constexpr unsigned kPageQuestionTimeoutMs = 2000;

// The body's inline width and height, or null without a body.
constexpr const char kBodySizeScript[] =
    "(function () { var b = document.body;"
    " return b ? b.style.width + '\\n' + b.style.height : null; })()";

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
gboolean OnOrphanDialog(WebKitWebView*, WebKitScriptDialog* dialog, gpointer) {
    const char* message = webkit_script_dialog_get_message(dialog);
    const std::string& marker = GetBridgeMarker();
    if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_PROMPT &&
        message != nullptr && std::strncmp(message, marker.c_str(), marker.size()) == 0) {
        webkit_script_dialog_prompt_set_text(
            dialog, AnswerBridgeRequest(nullptr, message + marker.size()).c_str());
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

// A separate browser window for a link with a new-window target; it lives until its window
// is closed.
void OpenBrowserWindow(CWebViewGtk* view) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
    gtk_container_add(GTK_CONTAINER(window), view->GetWidget());
    g_signal_connect_swapped(
        window, "destroy",
        G_CALLBACK(+[](gpointer data) { delete static_cast<CWebViewGtk*>(data); }), view);
    g_signal_connect(
        view->GetWidget(), "ready-to-show",
        G_CALLBACK(+[](GtkWidget*, gpointer w) { gtk_widget_show_all(GTK_WIDGET(w)); }), window);
    g_signal_connect(view->GetWidget(), "close",
                     G_CALLBACK(+[](GtkWidget*, gpointer w) { gtk_widget_destroy(GTK_WIDGET(w)); }),
                     window);
    g_signal_connect(view->GetWidget(), "notify::title",
                     G_CALLBACK(+[](GObject* v, GParamSpec*, gpointer w) {
                         const char* title = webkit_web_view_get_title(WEBKIT_WEB_VIEW(v));
                         gtk_window_set_title(GTK_WINDOW(w), title != nullptr ? title : "");
                     }),
                     window);
}

}  // namespace

std::string AnswerBridgeRequest(IWebViewEvents* events, const char* request) {
    CScriptRequest decoded;
    HRESULT hr = decoded.Decode(request);
    if (FAILED(hr)) {
        return EncodeScriptAnswer(hr, nullptr);
    }
    if (events == nullptr) {
        return EncodeScriptAnswer(DISP_E_UNKNOWNNAME, nullptr);
    }
    if (decoded.m_nKind == CScriptRequest::kFrameLoaded) {
        events->OnLoadFinished(CWebViewGtk::LocationFromUrl(WideToUtf8(decoded.m_strName).c_str()));
        return EncodeScriptAnswer(S_OK, nullptr);
    }
    if (decoded.m_nKind == CScriptRequest::kLookUp) {
        return EncodeScriptAnswer(events->OnExternalLookUp(decoded.m_strName), nullptr);
    }
    VARIANT result;
    VariantInit(&result);
    hr = events->OnExternalCall(decoded.m_strName, decoded.m_wFlags, decoded.m_args, &result);
    std::string answer = EncodeScriptAnswer(hr, SUCCEEDED(hr) ? &result : nullptr);
    VariantClear(&result);
    return answer;
}

CWebViewGtk::CWebViewGtk(IWebViewEvents* events) : m_pEvents(events) {
    m_pView =
        WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", GetSharedWebContext(),
                                     "user-content-manager", GetSharedUserContent(), nullptr));
    g_object_ref_sink(m_pView);
    Connect();
}

CWebViewGtk::CWebViewGtk(IWebViewEvents* events, WebKitWebView* related) : m_pEvents(events) {
    m_pView = WEBKIT_WEB_VIEW(webkit_web_view_new_with_related_view(related));
    g_object_ref_sink(m_pView);
    Connect();
}

CWebViewGtk::~CWebViewGtk() {
    *m_pAlive = false;
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
    // Pages open their own windows (window.open, links with a target), as in the hosted
    // browser of the original platform, which has no pop-up blocker.
    webkit_settings_set_javascript_can_open_windows_automatically(
        webkit_web_view_get_settings(m_pView), TRUE);
    g_signal_connect(m_pView, "script-dialog", G_CALLBACK(OnScriptDialog), this);
    g_signal_connect(m_pView, "load-changed", G_CALLBACK(OnLoadChanged), this);
    g_signal_connect(m_pView, "load-failed", G_CALLBACK(OnLoadFailed), this);
    g_signal_connect(m_pView, "notify::title", G_CALLBACK(OnTitleChanged), this);
    g_signal_connect(m_pView, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
    g_signal_connect(m_pView, "create", G_CALLBACK(OnCreate), this);
}

std::string CWebViewGtk::UrlFromLocation(const std::wstring& location) {
    std::string text = WideToUtf8(location);
    if (!text.empty() && text[0] == '/') {
        // Paths may be written with '\' between folders, as the system's code does.
        std::string path = PathFromWide(location).native();
        gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
        if (uri != nullptr) {
            text = uri;
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
    ++m_nNavigations;
    if (m_bErrorPagePending || m_bErrorPageLoad) {
        // The error page of a failed load would still replace a navigation started now, so
        // this one waits until the error page is shown.
        m_strDeferredUrl = UrlFromLocation(url);
        return;
    }
    webkit_web_view_load_uri(m_pView, UrlFromLocation(url).c_str());
}

void CWebViewGtk::SetSilent(bool silent) {
    m_bSilent = silent;
}

std::wstring CWebViewGtk::GetUrl() const {
    return LocationFromUrl(webkit_web_view_get_uri(m_pView));
}

bool CWebViewGtk::GetBodyInlineSize(std::wstring* width, std::wstring* height) {
    struct Answer {
        bool done = false;
        bool hasBody = false;
        std::string text;
    };
    // A page waiting in its own window.external call cannot answer.
    if (DialogDepth(m_pView) > 0) {
        return false;
    }
    auto answer = std::make_shared<Answer>();
    webkit_web_view_evaluate_javascript(
        m_pView, kBodySizeScript, -1, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            std::unique_ptr<std::shared_ptr<Answer>> owner(
                static_cast<std::shared_ptr<Answer>*>(data));
            Answer& a = **owner;
            JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source),
                                                                         result, nullptr);
            if (value != nullptr) {
                if (jsc_value_is_string(value)) {
                    gchar* text = jsc_value_to_string(value);
                    a.text = text;
                    g_free(text);
                    a.hasBody = true;
                }
                g_object_unref(value);
            }
            a.done = true;
        },
        new std::shared_ptr<Answer>(answer));
    if (!WaitForBrowser([&] { return answer->done; }, kPageQuestionTimeoutMs) || !answer->hasBody) {
        return false;
    }
    size_t split = answer->text.find('\n');
    *width = Utf8ToWide(answer->text.substr(0, split).c_str());
    *height = split == std::string::npos ? L"" : Utf8ToWide(answer->text.c_str() + split + 1);
    return true;
}

gboolean CWebViewGtk::OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog,
                                     gpointer data) {
    auto* self = static_cast<CWebViewGtk*>(data);
    WebKitScriptDialogType type = webkit_script_dialog_get_dialog_type(dialog);
    const char* message = webkit_script_dialog_get_message(dialog);
    const std::string& marker = GetBridgeMarker();
    if (type == WEBKIT_SCRIPT_DIALOG_PROMPT && message != nullptr &&
        std::strncmp(message, marker.c_str(), marker.size()) == 0) {
        // The command may close the window and so destroy this object; the view itself lives
        // on until the dialog is answered (see the destructor).
        g_object_ref(view);
        AddDialogDepth(view, 1);
        std::string answer = AnswerBridgeRequest(self->m_pEvents, message + marker.size());
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
    if (self->m_pEvents == nullptr || (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
                                       type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)) {
        return FALSE;
    }
    WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
        WEBKIT_NAVIGATION_POLICY_DECISION(decision));
    WebKitURIRequest* request = webkit_navigation_action_get_request(action);
    std::wstring url = LocationFromUrl(webkit_uri_request_get_uri(request));
    std::wstring frame = TextOf(webkit_navigation_action_get_frame_name(action));
    g_object_ref(decision);
    bool cancel = self->m_pEvents->OnBeforeNavigate(url, frame);
    if (cancel) {
        webkit_policy_decision_ignore(decision);
    }
    g_object_unref(decision);
    return cancel ? TRUE : FALSE;
}

GtkWidget* CWebViewGtk::OnCreate(WebKitWebView* view, WebKitNavigationAction*, gpointer) {
    auto* popup = new CWebViewGtk(nullptr, view);
    OpenBrowserWindow(popup);
    return popup->GetWidget();
}

}  // namespace platform::gtk
