// window.external as a page's script meets it on Windows: the main window's commands called
// from JScript through the bridge object of the Windows view, their requests going to the
// window's automation object as the page window's control sends them, with their arguments,
// results and errors, and the callers that must reach nothing.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "app/environment.h"
#include "browser/external_call.h"
#include "browser/main_dispatch_imp.h"
#include "browser/page_trust.h"
#include "platform/trusted_pages.h"
#include "platform/win32/external_dispatch.h"
#include "script_host.h"
#include "windows/main_wnd.h"

namespace {

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
std::wstring CaughtError(const std::wstring& statement) {
    return L"(function () { try { " + statement +
           L"; return 'no error'; } catch (e) { return e instanceof Error ? "
           L"(e.number >>> 0).toString(16) : 'not an Error'; } })()";
}

class PageScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        // The main window's commands in its order; its window is not made.
        CMainWnd& main = *m_pMain;
        for (CInvokeHandler* handler : std::initializer_list<CInvokeHandler*>{
                 &main.m_isClient, &main.m_showMessageWnd, &main.m_getAppVersion,
                 &main.m_getOptionData, &main.m_setOptionData, &main.m_getCustomOptionData,
                 &main.m_setCustomOptionData, &main.m_getCookie, &main.m_setCookie, &main.m_alert,
                 &main.m_openOptionWnd}) {
            m_dispatch.RegisterHandler(handler);
        }
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

    std::unique_ptr<CMainWnd> m_pMain = std::make_unique<CMainWnd>();
    CMainDispatchImp m_dispatch;
    CDispatchBridge m_bridge{&m_dispatch};
    platform::CTrustedPages m_trusted;
    bool m_bTopTrusted = true;
    platform::win32::CExternalDispatch* m_pExternal = nullptr;
    std::unique_ptr<CScriptHost> m_host;
};

TEST_F(PageScriptTest, CommandsAnswerAPagesScriptWithResultsAndErrors) {
    CScriptHost& page = *m_host;
    // Read as a property and called: the page runs inside the client.
    EXPECT_EQ(page.Eval(L"external.IsTavnelClient"), L"true");
    EXPECT_EQ(page.Eval(L"external.IsTavnelClient()"), L"true");

    EXPECT_EQ(page.Eval(L"external.GetAppVersion(false)"), GetAppVersionString());
    EXPECT_EQ(page.Eval(L"typeof external.GetAppVersion(true)"), L"number");
    EXPECT_EQ(page.Eval(L"external.GetAppVersion(true)"), std::to_wstring(GetAppVersionNumber()));

    // The value comes before the key, in the script's order; the kind is kept.
    EXPECT_EQ(page.Eval(L"external.SetCustomOptionData('abc', 'k')"), L"true");
    EXPECT_EQ(page.Eval(L"JSON.stringify({k: external.GetCustomOptionData('k')})"),
              L"{\"k\":\"abc\"}");
    EXPECT_EQ(page.Eval(L"external.SetCustomOptionData(5, 'n')"), L"true");
    EXPECT_EQ(page.Eval(L"typeof external.GetCustomOptionData('n')"), L"number");

    EXPECT_EQ(page.Eval(L"external.SetOptionData(70, 'HOTKEY_VK')"), L"true");
    EXPECT_EQ(page.Eval(L"JSON.stringify({vk: external.GetOptionData('HOTKEY_VK')})"),
              L"{\"vk\":70}");
    EXPECT_EQ(page.Eval(L"external.SetOptionData(true, 'AUTOUPDATE')"), L"true");
    EXPECT_EQ(page.Eval(L"external.GetOptionData('AUTOUPDATE')"), L"true");
    page.Eval(L"external.SetOptionData(0, 'AUTOUPDATE')");
    EXPECT_EQ(page.Eval(L"external.GetOptionData('AUTOUPDATE')"), L"false");
    // Data names are exact: an unknown one answers true.
    EXPECT_EQ(page.Eval(L"external.GetOptionData('autoupdate')"), L"true");
    page.Eval(L"external.SetOptionData(5, 'c', 'CUSTOM')");
    EXPECT_EQ(page.Eval(L"typeof external.GetOptionData('c', 'CUSTOM')"), L"number");
    EXPECT_EQ(page.Eval(L"external.GetOptionData('c', 'CUSTOM')"), L"5");

    // Read as properties: a popup is offered, the option window is not a value.
    EXPECT_EQ(page.Eval(L"external.ShowMessageWnd"), L"true");
    EXPECT_EQ(page.Eval(CaughtError(L"var f = external.OpenOptionWnd")), L"80004001");
    // Called without a main window on screen: asked of nobody, and no error.
    EXPECT_EQ(page.Eval(L"external.OpenOptionWnd()"), L"undefined");

    // Cookies of the service go to the browser's own jar and come back.
    const std::wstring url = L"'http://" + GetServiceWebHost() + L"/m'";
    EXPECT_EQ(page.Eval(L"external.SetCookie(" + url + L", 'a', '1')"), L"true");
    EXPECT_EQ(page.Eval(L"external.SetCookie(" + url + L", 'b', '2')"), L"true");
    EXPECT_EQ(page.Eval(L"external.GetCookie(" + url + L", 'b')"), L"2");
    EXPECT_EQ(page.Eval(L"external.GetCookie(" + url + L", 'a')"), L"1");
    EXPECT_EQ(page.Eval(L"external.GetCookie(" + url + L", 'zz')"), L"");

    // Errors reach the page's try/catch as Errors carrying the command's result.
    EXPECT_EQ(page.Eval(CaughtError(L"external.Alert('only the text')")), L"80004005");
    EXPECT_EQ(page.Eval(CaughtError(L"var f = external.Alert")), L"80004001");
    EXPECT_EQ(page.Eval(CaughtError(L"external.GetCookie.x")), L"80004001");
    // Names are exact: "alert" is not "Alert".
    EXPECT_NE(page.Eval(CaughtError(L"external.alert('a', 'b')")), L"no error");
    EXPECT_EQ(page.Eval(L"typeof external.NoSuchCommand"), L"undefined");

    // Newer syntax than the pages may use is refused before anything of the script runs.
    EXPECT_TRUE(FAILED(page.Run(L"external.SetCustomOptionData('arrow', 'k'); var f = () => 1;")));
    EXPECT_EQ(page.Eval(L"external.GetCustomOptionData('k')"), L"abc");
}

// A call as the page's engine makes it, naming its caller's services; the error's own
// result when the call failed with one.
HRESULT CallNamingCaller(IDispatchEx* external, const wchar_t* name, IServiceProvider* caller,
                         VARIANT* result) {
    BSTR member = SysAllocString(name);
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = external->GetDispID(member, fdexNameCaseSensitive, &id);
    SysFreeString(member);
    if (FAILED(hr)) {
        return hr;
    }
    DISPPARAMS none{};
    EXCEPINFO error{};
    hr =
        external->InvokeEx(id, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, result, &error, caller);
    SysFreeString(error.bstrSource);
    SysFreeString(error.bstrDescription);
    SysFreeString(error.bstrHelpFile);
    return hr == DISP_E_EXCEPTION ? error.scode : hr;
}

TEST_F(PageScriptTest, CallersTheViewDoesNotTrustReachNothing) {
    CScriptHost& page = *m_host;
    // A frame of another origin inside a trusted page, where the engine names the caller.
    VARIANT result;
    VariantInit(&result);
    page.SetCallerLocation(L"http://other.example/frame.html");
    EXPECT_EQ(CallNamingCaller(m_pExternal, L"IsTavnelClient", page.CallerServices(), &result),
              E_ACCESSDENIED);
    EXPECT_EQ(result.vt, VT_EMPTY);
    page.SetCallerLocation(L"http://www.service.test/frame.html");
    EXPECT_EQ(CallNamingCaller(m_pExternal, L"IsTavnelClient", page.CallerServices(), &result),
              S_OK);
    EXPECT_EQ(result.vt, VT_BOOL);
    page.SetCallerLocation(L"");
    EXPECT_EQ(page.Eval(L"external.SetCustomOptionData('framed', 'k')"), L"true");

    // The page left for a foreign one after it had the object: no member is found, and
    // members found before refuse their calls.
    m_bTopTrusted = false;
    EXPECT_EQ(page.Eval(L"typeof external.GetAppVersion"), L"undefined");
    EXPECT_NE(page.Eval(CaughtError(L"external.SetCustomOptionData('y', 'k')")), L"no error");
    EXPECT_EQ(CallNamingCaller(m_pExternal, L"IsTavnelClient", nullptr, &result),
              DISP_E_UNKNOWNNAME);
    m_bTopTrusted = true;
    EXPECT_EQ(page.Eval(L"external.GetCustomOptionData('k')"), L"framed");

    // The view is gone; a page that kept the object reaches nothing.
    m_pExternal->Detach();
    EXPECT_NE(page.Eval(CaughtError(L"external.IsTavnelClient()")), L"no error");
    DISPPARAMS none{};
    EXPECT_EQ(m_pExternal->InvokeEx(1, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, &result,
                                    nullptr, nullptr),
              E_ACCESSDENIED);
}

}  // namespace
