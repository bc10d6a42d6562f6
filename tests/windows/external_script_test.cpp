// window.external as a page's script meets it on Windows: commands of the main window called
// from JScript through the bridge object, with their arguments, results and errors, and the
// callers that must reach nothing.
#include "external_script_fixture.h"

#include "app/environment.h"
#include "commands/cookie_commands.h"
#include "commands/custom_option_commands.h"
#include "commands/window_commands.h"

namespace {

class PageScriptTest : public ExternalScriptTest {
protected:
    void SetUp() override {
        ExternalScriptTest::SetUp();
        // In the main window's order, without the commands that open windows (tested with
        // the windows).
        Register({&m_isClient, &m_getAppVersion, &m_getCustomOptionData, &m_setCustomOptionData,
                  &m_getCookie, &m_setCookie, &m_alert});
    }

    CInvokeHandler_IsClient m_isClient{L"IsTavnelClient"};
    CInvokeHandler_GetAppVersion m_getAppVersion{L"GetAppVersion"};
    CInvokeHandler_GetCustomOptionData m_getCustomOptionData{L"GetCustomOptionData"};
    CInvokeHandler_SetCustomOptionData m_setCustomOptionData{L"SetCustomOptionData"};
    CInvokeHandler_GetCookie m_getCookie{L"GetCookie"};
    CInvokeHandler_SetCookie m_setCookie{L"SetCookie"};
    CInvokeHandler_Alert m_alert{L"Alert"};
};

TEST_F(PageScriptTest, CommandsAnswerAPagesScriptWithResultsAndErrors) {
    CScriptHost& page = *m_host;
    // The page's engine is the one of the browser's newest document mode.
    EXPECT_EQ(page.Eval(L"typeof JSON.stringify + typeof [].forEach + typeof Object.keys"),
              L"functionfunctionfunction");

    // Read as a property and called: the page runs inside the client.
    EXPECT_EQ(page.Eval(L"external.IsTavnelClient"), L"true");
    EXPECT_EQ(page.Eval(L"external.IsTavnelClient == true"), L"true");
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

    // Cookies go to the browser's own jar and come back.
    EXPECT_EQ(page.Eval(L"external.SetCookie('http://www.service.test/m', 'a', '1')"), L"true");
    EXPECT_EQ(page.Eval(L"external.SetCookie('http://www.service.test/m', 'b', '2')"), L"true");
    EXPECT_EQ(page.Eval(L"external.GetCookie('http://www.service.test/m', 'b')"), L"2");
    EXPECT_EQ(page.Eval(L"external.GetCookie('http://www.service.test/m', 'a')"), L"1");
    EXPECT_EQ(page.Eval(L"external.GetCookie('http://www.service.test/m', 'zz')"), L"");

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
