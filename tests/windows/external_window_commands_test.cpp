// The main window's whole set of commands from a page's script on Windows, those that reach
// the options and the windows included.
#include "external_script_fixture.h"

#include "windows/main_wnd.h"

namespace {

class MainWindowScriptTest : public ExternalScriptTest {
protected:
    void SetUp() override {
        ExternalScriptTest::SetUp();
        CMainWnd& main = *m_pMain;
        Register({&main.m_isClient, &main.m_showMessageWnd, &main.m_getAppVersion,
                  &main.m_getOptionData, &main.m_setOptionData, &main.m_getCustomOptionData,
                  &main.m_setCustomOptionData, &main.m_getCookie, &main.m_setCookie, &main.m_alert,
                  &main.m_openOptionWnd});
    }

    // The main window's command objects; its window is not made.
    std::unique_ptr<CMainWnd> m_pMain = std::make_unique<CMainWnd>();
};

TEST_F(MainWindowScriptTest, OptionAndWindowCommandsAnswerAPagesScript) {
    CScriptHost& page = *m_host;
    EXPECT_EQ(page.Eval(L"external.SetOptionData(70, 'HOTKEY_VK')"), L"true");
    EXPECT_EQ(page.Eval(L"JSON.stringify({vk: external.GetOptionData('HOTKEY_VK')})"),
              L"{\"vk\":70}");
    EXPECT_EQ(page.Eval(L"external.SetOptionData(true, 'AUTOUPDATE')"), L"true");
    EXPECT_EQ(page.Eval(L"external.GetOptionData('AUTOUPDATE')"), L"true");
    page.Eval(L"external.SetOptionData(0, 'AUTOUPDATE')");
    EXPECT_EQ(page.Eval(L"external.GetOptionData('AUTOUPDATE')"), L"false");
    // Data names are exact: an unknown one answers true.
    EXPECT_EQ(page.Eval(L"external.GetOptionData('autoupdate')"), L"true");
    page.Eval(L"external.SetOptionData(5, 'k', 'CUSTOM')");
    EXPECT_EQ(page.Eval(L"typeof external.GetOptionData('k', 'CUSTOM')"), L"number");
    EXPECT_EQ(page.Eval(L"external.GetOptionData('k', 'CUSTOM')"), L"5");

    // Read as properties: a popup is offered, the option window is not a value.
    EXPECT_EQ(page.Eval(L"external.ShowMessageWnd"), L"true");
    EXPECT_EQ(page.Eval(CaughtError(L"var f = external.OpenOptionWnd")), L"80004001");
    // Called without a main window on screen: asked of nobody, and no error.
    EXPECT_EQ(page.Eval(L"external.OpenOptionWnd()"), L"undefined");
}

}  // namespace
