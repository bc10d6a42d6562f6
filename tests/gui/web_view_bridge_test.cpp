// The WebKit view and its window.external bridge, in a bare GTK window.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <glib/gstdio.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "browser/external_call.h"
#include "browser/main_dispatch_imp.h"
#include "platform/linux/utf8_text.h"
#include "platform/linux/web_view_gtk.h"

namespace {

bool Pump(const std::function<bool()>& done, int timeoutMs) {
    gint64 deadline = g_get_monotonic_time() + gint64(timeoutMs) * 1000;
    while (!done() && g_get_monotonic_time() < deadline) {
        g_main_context_iteration(nullptr, FALSE);
        g_usleep(1000);
    }
    return done();
}

class CTextCommand : public CInvokeHandler {
public:
    CTextCommand(const wchar_t* name, std::wstring text)
        : CInvokeHandler(name), m_strText(std::move(text)) {}
    HRESULT Invoke(REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* r, EXCEPINFO*, UINT*) override {
        std::wstring description;
        for (UINT i = p->cArgs; i-- > 0;) {
            description += std::to_wstring(p->rgvarg[i].vt) + L",";
        }
        if (r != nullptr) {
            VariantInit(r);
            r->vt = VT_BSTR;
            std::wstring text = m_strText + description;
            r->bstrVal = SysAllocStringLen(text.data(), text.size());
        }
        return S_OK;
    }
    std::wstring m_strText;
};

class CEvents : public platform::IWebViewEvents {
public:
    void OnTitleChanged(const std::wstring& title) override { m_strTitle = title; }
    void OnNavigationCommitted(const std::wstring& url) override { m_log.push_back(L"2 " + url); }
    void OnLoadFinished(const std::wstring& url) override { m_log.push_back(L"3 " + url); }
    void OnLoadFailed(const std::wstring& url) override { m_log.push_back(L"4 " + url); }
    bool OnBeforeNavigate(const std::wstring& url, const std::wstring&) override {
        m_log.push_back(L"0 " + url);
        return false;
    }
    HRESULT OnExternalLookUp(const std::wstring& name) override {
        return LookUpExternalMember(&m_dispatch, name);
    }
    HRESULT OnExternalCall(const std::wstring& name, WORD flags, const std::vector<VARIANT>& args,
                           VARIANT* result) override {
        return InvokeExternalMember(&m_dispatch, name, flags, args, result);
    }
    CMainDispatchImp m_dispatch;
    std::wstring m_strTitle;
    std::vector<std::wstring> m_log;
};

}  // namespace

TEST(WebViewSpike, BridgeWorks) {
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    gchar* dir = g_dir_make_tmp("songdeck-web-XXXXXX", nullptr);
    std::string page = std::string(dir) + "/p.html";
    std::ofstream(page)
        << "<html><head><title>t0</title></head><body style='width:400px'>"
           "<script>var r=[];try{r.push(external.Echo('a',1,2.5,true,null));"
           "r.push(typeof external.Nope);r.push(external.Echo==true)}catch(e){r.push('E'+e)}"
           "document.title='done:'+r.join('|');</script></body></html>";
    CEvents events;
    CTextCommand echo(L"Echo", L"echo:");
    events.m_dispatch.RegisterHandler(&echo);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 400, 300);
    auto* view = new platform::gtk::CWebViewGtk(&events);
    gtk_container_add(GTK_CONTAINER(window), view->GetWidget());
    gtk_widget_show_all(window);
    view->Navigate(platform::gtk::FromUtf8(page.c_str()));
    EXPECT_TRUE(Pump([&] { return events.m_strTitle.rfind(L"done:", 0) == 0; }, 10000));
    printf("title: %ls\n", events.m_strTitle.c_str());
    for (auto& l : events.m_log)
        printf("%ls\n", l.c_str());
    std::wstring w, h;
    EXPECT_TRUE(view->GetBodyInlineSize(&w, &h));
    printf("size [%ls] [%ls]\n", w.c_str(), h.c_str());
    delete view;
    gtk_widget_destroy(window);
}
