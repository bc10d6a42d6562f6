// A page's script without a page: JScript with window.external answered by the bridge
// object of the Windows view, its requests going to a window's automation object as the page
// window's control sends them.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "browser/external_call.h"
#include "browser/main_dispatch_imp.h"
#include "platform/trusted_pages.h"
#include "platform/win32/external_dispatch.h"
#include "script_host.h"

// What the page window's control does with the view's window.external requests: they go to
// the window's automation object.
class CDispatchBridge : public platform::IWebViewEvents {
public:
    explicit CDispatchBridge(IDispatch* dispatch) : m_pDispatch(dispatch) {}
    void OnTitleChanged(const std::wstring&) override {}
    void OnNavigationCommitted(const std::wstring&) override {}
    void OnLoadFinished(const std::wstring&) override {}
    void OnLoadFailed(const std::wstring&) override {}
    bool OnBeforeNavigate(const std::wstring&, const std::wstring&) override { return false; }
    HRESULT OnExternalLookUp(const std::wstring& name) override {
        return LookUpExternalMember(m_pDispatch, name);
    }
    HRESULT OnExternalCall(const std::wstring& name, WORD flags, const std::vector<VARIANT>& args,
                           VARIANT* result) override {
        return InvokeExternalMember(m_pDispatch, name, flags, args, result);
    }

private:
    IDispatch* m_pDispatch;
};

// The number of the error a script caught from the call, in hexadecimal.
inline std::wstring CaughtError(const std::wstring& statement) {
    return L"(function () { try { " + statement +
           L"; return 'no error'; } catch (e) { return e instanceof Error ? "
           L"(e.number >>> 0).toString(16) : 'not an Error'; } })()";
}

class ExternalScriptTest : public ::testing::Test {
protected:
    // The commands a window offers, in its order of registration.
    void Register(std::initializer_list<CInvokeHandler*> handlers) {
        for (CInvokeHandler* handler : handlers) {
            m_dispatch.RegisterHandler(handler);
        }
    }
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        m_trusted.AddHost(L"www.service.test");
        m_pExternal = new platform::win32::CExternalDispatch(
            &m_bridge, [this](const std::wstring* callerUrl) {
                return m_bTopTrusted && (callerUrl == nullptr || m_trusted.IsTrusted(*callerUrl));
            });
        m_host = std::make_unique<CScriptHost>(m_pExternal);
        ASSERT_TRUE(m_host->IsReady());
    }
    void TearDown() override {
        m_host.reset();
        m_pExternal->Detach();
        m_pExternal->Release();
        CoUninitialize();
    }

    CMainDispatchImp m_dispatch;
    CDispatchBridge m_bridge{&m_dispatch};
    platform::CTrustedPages m_trusted;
    bool m_bTopTrusted = true;
    platform::win32::CExternalDispatch* m_pExternal = nullptr;
    std::unique_ptr<CScriptHost> m_host;
};
