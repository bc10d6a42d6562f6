// Synchronous window.external calls per second from a page, against the same number of plain
// JavaScript function calls in the same page, and of bare prompt() round trips (the channel
// the bridge rides on, without its encoding and dispatch). Needs a display: run it inside
// tests/gui/session.sh.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "browser/external_call.h"
#include "browser/main_dispatch_imp.h"
#include "platform/linux/web_view_gtk.h"
#include "platform/text_encoding.h"

namespace {

constexpr int kCalls = 5000;

class CShortTextCommand : public CInvokeHandler {
public:
    CShortTextCommand() : CInvokeHandler(L"GetAppVersion") {}
    HRESULT Invoke(REFIID, LCID, WORD, DISPPARAMS*, VARIANT* r, EXCEPINFO*, UINT*) override {
        if (r != nullptr) {
            VariantInit(r);
            r->vt = VT_BSTR;
            r->bstrVal = SysAllocString(L"1.0.0.1");
        }
        return S_OK;
    }
};

class CBenchEvents : public platform::IWebViewEvents {
public:
    void OnTitleChanged(const std::wstring& title) override { m_strTitle = title; }
    void OnNavigationCommitted(const std::wstring&) override {}
    void OnLoadFinished(const std::wstring&) override {}
    void OnLoadFailed(const std::wstring& url) override { m_strTitle = L"failed"; }
    bool OnBeforeNavigate(const std::wstring&, const std::wstring&) override { return false; }
    HRESULT OnExternalLookUp(const std::wstring& name) override {
        return LookUpExternalMember(&m_dispatch, name);
    }
    HRESULT OnExternalCall(const std::wstring& name, WORD flags, const std::vector<VARIANT>& args,
                           VARIANT* result) override {
        return InvokeExternalMember(&m_dispatch, name, flags, args, result);
    }
    CMainDispatchImp m_dispatch;
    std::wstring m_strTitle;
};

}  // namespace

int main(int argc, char** argv) {
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "bench_bridge needs a display: run it in tests/gui/session.sh\n");
        return 1;
    }
    gchar* dir = g_dir_make_tmp("songdeck-bench-XXXXXX", nullptr);
    std::string page = std::string(dir) + "/bench.html";
    std::ofstream(page) << "<html><body><script>\n"
                           "function plain(){return '1.0.0.1';}\n"
                           "var n="
                        << kCalls
                        << ",len=0;\n"
                           "external.GetAppVersion();\n"  // the one-time name look-up
                           "var t0=performance.now();\n"
                           "for(var i=0;i<n;i++){len+=external.GetAppVersion().length;}\n"
                           "var t1=performance.now();\n"
                           "for(var i=0;i<n;i++){len+=plain().length;}\n"
                           "var t2=performance.now();\n"
                           "for(var i=0;i<n;i++){len+=prompt('ping').length;}\n"
                           "var t3=performance.now();\n"
                           "document.title='done:'+(t1-t0)+':'+(t2-t1)+':'+(t3-t2)+':'+len;\n"
                           "</script></body></html>\n";
    platform::SetWebDataDirectory(Utf8ToWide(dir) + L"/webdata");
    CBenchEvents events;
    CShortTextCommand command;
    events.m_dispatch.RegisterHandler(&command);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    auto* view = new platform::gtk::CWebViewGtk(&events);
    platform::CTrustedPages trusted;
    trusted.AddFolder(Utf8ToWide(dir));
    view->SetTrustedPages(trusted);
    gtk_container_add(GTK_CONTAINER(window), view->GetWidget());
    gtk_widget_show_all(window);
    // The bare channel: prompts without the bridge's marker, answered at once.
    g_signal_connect(view->GetWidget(), "script-dialog",
                     G_CALLBACK(+[](WebKitWebView*, WebKitScriptDialog* dialog, gpointer) {
                         webkit_script_dialog_prompt_set_text(dialog, "1.0.0.1");
                         return TRUE;
                     }),
                     nullptr);
    view->Navigate(Utf8ToWide(page));
    gint64 deadline = g_get_monotonic_time() + 120 * G_USEC_PER_SEC;
    while (events.m_strTitle.rfind(L"done:", 0) != 0 && events.m_strTitle != L"failed" &&
           g_get_monotonic_time() < deadline) {
        g_main_context_iteration(nullptr, TRUE);
    }
    std::string title = WideToUtf8(events.m_strTitle);
    delete view;
    gtk_widget_destroy(window);
    double bridgeMs = 0, plainMs = 0, promptMs = 0;
    long length = 0;
    if (std::sscanf(title.c_str(), "done:%lf:%lf:%lf:%ld", &bridgeMs, &plainMs, &promptMs,
                    &length) != 4 ||
        length != 3L * kCalls * 7) {
        std::fprintf(stderr, "the bench page did not finish (title \"%s\")\n", title.c_str());
        return 1;
    }
    // performance.now() is coarse; a zero reference is taken as one tick.
    double bridgeRate = kCalls / (bridgeMs / 1000.0);
    double plainRate = kCalls / ((plainMs > 0 ? plainMs : 0.001) / 1000.0);
    std::printf("window.external calls: %d in %.1f ms = %.0f calls/s (target 5000)\n", kCalls,
                bridgeMs, bridgeRate);
    std::printf("plain JavaScript calls: %d in %.3f ms = %.0f calls/s (reference)\n", kCalls,
                plainMs, plainRate);
    double promptRate = kCalls / (promptMs / 1000.0);
    std::printf("bare prompt() round trips: %d in %.1f ms = %.0f calls/s (channel reference)\n",
                kCalls, promptMs, promptRate);
    std::printf("ratio bridge/plain: %.6f (plain calls are %.0f times faster)\n",
                bridgeRate / plainRate, plainRate / bridgeRate);
    std::printf("ratio bridge/bare prompt: %.3f\n", bridgeRate / promptRate);
    std::fflush(stdout);
    return 0;
}
