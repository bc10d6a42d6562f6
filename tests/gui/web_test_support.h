// Test pages and commands for the browser tests: pages are written into a temporary folder,
// and the commands record what a page hands them.
#pragma once

#include <glib.h>
#include <gio/gio.h>
#include <glib/gstdio.h>

#include <fstream>
#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/helpers.h"
#include "browser/external_call.h"
#include "browser/invoke_handler.h"
#include "browser/main_dispatch_imp.h"
#include "platform/linux/web_view_gtk.h"
#include "platform/web_view.h"
#include "platform/text_encoding.h"
#include "support/test_http_server.h"

namespace webtest {

// Script put before a test page's own: t(f) gives f()'s value as text, or "E" and the
// HRESULT of the error it threw; done(list) publishes the results as the title.
constexpr const char kHarness[] =
    "<script>function t(f){try{return String(f());}catch(e){"
    "return 'E'+((e.number===undefined?0:e.number)>>>0).toString(16);}}"
    "function done(r){document.title='done:'+r.join('|');}</script>";

// An HTML page as a server answers it.
inline testsupport::HttpTestReply HtmlReply(std::string html) {
    testsupport::HttpTestReply reply = testsupport::HttpTestReply::Text(200, std::move(html));
    reply.headers.emplace_back("Content-Type", "text/html; charset=utf-8");
    return reply;
}

// An answer whose body does not start for stallMs (a server that hangs).
inline testsupport::HttpTestReply StalledReply(std::string body, unsigned stallMs) {
    testsupport::HttpTestReply reply = testsupport::HttpTestReply::Text(200, std::move(body));
    reply.stallAfter = 0;
    reply.stallMs = stallMs;
    return reply;
}

// A port on 127.0.0.1 that nothing listens on (bound once, then released).
inline int FreeLoopbackPort() {
    GSocket* socket =
        g_socket_new(G_SOCKET_FAMILY_IPV4, G_SOCKET_TYPE_STREAM, G_SOCKET_PROTOCOL_TCP, nullptr);
    GInetAddress* loopback = g_inet_address_new_loopback(G_SOCKET_FAMILY_IPV4);
    GSocketAddress* any = g_inet_socket_address_new(loopback, 0);
    g_socket_bind(socket, any, TRUE, nullptr);
    GSocketAddress* bound = g_socket_get_local_address(socket, nullptr);
    int port = g_inet_socket_address_get_port(G_INET_SOCKET_ADDRESS(bound));
    g_object_unref(bound);
    g_object_unref(any);
    g_object_unref(loopback);
    g_socket_close(socket, nullptr);
    g_object_unref(socket);
    return port;
}

// A folder of test pages inside res/ beside the test program, where the client trusts its
// own local pages.
class CPageFolder {
public:
    CPageFolder() {
        std::string res = WideToUtf8(GetModuleDirectory(nullptr)) + "res";
        g_mkdir_with_parents(res.c_str(), 0700);
        std::string pattern = res + "/songdeck-pages-XXXXXX";
        m_strDir = g_mkdtemp(pattern.data()) != nullptr ? pattern : res;
    }
    ~CPageFolder() {
        for (const std::string& file : m_files) {
            g_remove(file.c_str());
        }
        g_rmdir(m_strDir.c_str());
    }
    // Writes the page and returns its full path as the system's wide text.
    std::wstring Write(const std::string& name, const std::string& html) {
        std::string path = m_strDir + "/" + name;
        std::ofstream(path, std::ios::binary) << html;
        m_files.push_back(path);
        return Utf8ToWide(path);
    }
    const std::string& Dir() const { return m_strDir; }

private:
    std::string m_strDir;
    std::vector<std::string> m_files;
};

// Answers with a fixed text followed by the VARIANT types it received (script order), so a
// page sees what the bridge handed over.
class CEchoTypesCommand : public CInvokeHandler {
public:
    explicit CEchoTypesCommand(const wchar_t* name) : CInvokeHandler(name) {}
    HRESULT Invoke(REFIID, LCID, WORD wFlags, DISPPARAMS* p, VARIANT* r, EXCEPINFO*,
                   UINT*) override {
        std::wstring text = wFlags == DISPATCH_PROPERTYGET ? L"get" : L"call";
        for (UINT i = p->cArgs; i-- > 0;) {
            text += L":" + std::to_wstring(p->rgvarg[i].vt);
        }
        if (r != nullptr) {
            VariantInit(r);
            r->vt = VT_BSTR;
            r->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        }
        return S_OK;
    }
};

// Gives back its first argument unchanged (any type), or the HRESULT it is told to fail with.
class CReturnCommand : public CInvokeHandler {
public:
    explicit CReturnCommand(const wchar_t* name, HRESULT hr = S_OK)
        : CInvokeHandler(name), m_hr(hr) {}
    HRESULT Invoke(REFIID, LCID, WORD, DISPPARAMS* p, VARIANT* r, EXCEPINFO*, UINT*) override {
        if (FAILED(m_hr)) {
            return m_hr;
        }
        if (p->cArgs < 1) {
            return E_FAIL;
        }
        m_nCalls++;
        if (p->rgvarg[p->cArgs - 1].vt == VT_BSTR) {
            m_strLast = p->rgvarg[p->cArgs - 1].bstrVal;
        }
        if (r != nullptr) {
            VariantCopy(r, &p->rgvarg[p->cArgs - 1]);
        }
        return S_OK;
    }
    HRESULT m_hr;
    int m_nCalls = 0;
    std::wstring m_strLast;
};

// Runs a task inside the call (a nested loop, a closed window) and answers "after".
class CActionCommand : public CInvokeHandler {
public:
    CActionCommand(const wchar_t* name, std::function<void()> action)
        : CInvokeHandler(name), m_action(std::move(action)) {}
    HRESULT Invoke(REFIID, LCID, WORD, DISPPARAMS*, VARIANT* r, EXCEPINFO*, UINT*) override {
        m_action();
        if (r != nullptr) {
            VariantInit(r);
            r->vt = VT_BSTR;
            r->bstrVal = SysAllocString(L"after");
        }
        return S_OK;
    }
    std::function<void()> m_action;
};

// The events of a bare view: the title, every load event in order ("0" before navigating,
// "2" committed, "3" loaded, "4" failed, then the address), and window.external answered by
// m_dispatch.
class CRecordingEvents : public platform::IWebViewEvents {
public:
    void OnTitleChanged(const std::wstring& title) override { m_strTitle = title; }
    void OnNavigationCommitted(const std::wstring& url) override { m_log.push_back(L"2 " + url); }
    void OnLoadFinished(const std::wstring& url) override { m_log.push_back(L"3 " + url); }
    void OnLoadFailed(const std::wstring& url) override {
        m_log.push_back(L"4 " + url);
        if (m_onFailure) {
            m_onFailure();
        }
    }
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
    bool Logged(const std::wstring& line) const {
        return std::find(m_log.begin(), m_log.end(), line) != m_log.end();
    }

    CMainDispatchImp m_dispatch;
    std::wstring m_strTitle;
    std::vector<std::wstring> m_log;
    std::function<void()> m_onFailure;
};

// A view trusting trusted, shown in a bare top-level window of its own (*window).
inline std::unique_ptr<platform::gtk::CWebViewGtk> ShowViewInWindow(
    platform::IWebViewEvents* events, const platform::CTrustedPages& trusted, GtkWidget** window) {
    *window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(*window), 500, 400);
    auto view = std::make_unique<platform::gtk::CWebViewGtk>(events);
    view->SetTrustedPages(trusted);
    gtk_container_add(GTK_CONTAINER(*window), view->GetWidget());
    gtk_widget_show_all(*window);
    return view;
}

}  // namespace webtest
