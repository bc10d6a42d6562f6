// The client's own pages in windows offering the commands their real windows offer: each sizes
// its window, and the start and option pages do what a user asks of them.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/helpers.h"
#include "browser/iewapper_wnd.h"
#include "browser/main_dispatch_imp.h"
#include "browser/service_start_page.h"
#include "commands/app_commands.h"
#include "commands/cookie_commands.h"
#include "commands/custom_option_commands.h"
#include "commands/option_data_commands.h"
#include "commands/show_message_wnd_command.h"
#include "commands/window_commands.h"
#include "config/client_options.h"
#include "gui_support.h"
#include "platform/text_encoding.h"
#include "web_test_support.h"
#include "windows/message_wnd.h"

namespace {

constexpr DWORD kCaptionWindowStyle = 0x86C8C000;

// The product pages, copied from the build's res/ into a folder the test program trusts as
// its own local pages (res/ beside the test program).
class CProductPages {
public:
    CProductPages() {
        const std::string built = WideToUtf8(GetModuleDirectory(nullptr)) + "../res/";
        for (const char* name : {"main.html", "Option.html", "about.html", "update.html",
                                 "songdeck.css", "client.js"}) {
            std::ifstream file(built + name, std::ios::binary);
            std::stringstream text;
            text << file.rdbuf();
            EXPECT_FALSE(text.str().empty()) << name << " is missing from " << built;
            m_folder.Write(name, text.str());
        }
    }
    std::wstring Path(const std::wstring& name) const {
        return Utf8ToWide(m_folder.Dir()) + L"/" + name;
    }

private:
    webtest::CPageFolder m_folder;
};

const CProductPages& ProductPageFolder() {
    static const CProductPages pages;
    return pages;
}

std::wstring ProductPage(const std::wstring& name) {
    return ProductPageFolder().Path(name);
}

// A captioned page window that sizes itself to its page and centres, as the option and about
// windows do; navigations to other addresses are recorded and stopped.
class CProductPageWnd : public CIEWapperWnd {
public:
    explicit CProductPageWnd(std::vector<CInvokeHandler*> commands) : m_commands(commands) {
        m_pDispatch = new CMainDispatchImp;
        for (CInvokeHandler* command : m_commands) {
            m_pDispatch->RegisterHandler(command);
        }
        m_htmlCtrl.m_pExternalDispatch = m_pDispatch;
    }
    ~CProductPageWnd() override {
        if (m_hWnd != nullptr) {
            DestroyWindow();
        }
        delete m_pDispatch;
    }
    BOOL Create() {
        return CreateEx(0, L"SongDeckProductPage", L"", kCaptionWindowStyle, RECT{0, 0, 200, 200},
                        nullptr, 0);
    }
    void OnPageBeforeNavigate(LPCWSTR url, DWORD, LPCWSTR, const std::vector<BYTE>&, LPCWSTR,
                              BOOL* cancel) override {
        if (std::wstring(url).rfind(L"http", 0) == 0) {
            m_stopped.push_back(url);
            *cancel = TRUE;
        }
    }
    void OnPageDocumentComplete(std::wstring) override {
        m_htmlCtrl.GetPageSize(m_nPageWidth, m_nPageHeight);
        if (m_nPageWidth > 0 && m_nPageHeight > 0) {
            SetWindowPos(
                nullptr, 0, 0, m_nPageWidth + 2 * GetSystemMetrics(SM_CXBORDER),
                m_nPageHeight + GetSystemMetrics(SM_CYBORDER) + GetSystemMetrics(SM_CYCAPTION),
                SWP_HIDEWINDOW);
        }
        CenterWindow();
        ShowWindow(SW_SHOW);
        m_nLoaded++;
    }
    // Loads the page and waits until it has sized and shown its window.
    void Open(const std::wstring& page) {
        NavigateTo(ProductPage(page));
        ASSERT_TRUE(PumpUntil([&] { return m_nLoaded > 0 && IsWindowVisible(); }, 15000))
            << WideToUtf8(page) << " did not load";
    }

    CMainDispatchImp* m_pDispatch = nullptr;
    std::vector<CInvokeHandler*> m_commands;
    std::vector<std::wstring> m_stopped;
    int m_nPageWidth = 0;
    int m_nPageHeight = 0;
    int m_nLoaded = 0;
};

class ProductPages : public ::testing::Test {
protected:
    void SetUp() override { ResetClientOptionsForTest(); }
    void TearDown() override {
        SetAutoRun(FALSE);
        ResetClientOptionsForTest();
    }
    // The X window of a page window, for xdotool.
    static std::string WindowId(const std::string& title) {
        std::string id = RunCommand("xdotool search --onlyvisible --name '^" + title + "$'");
        return id.substr(0, id.find('\n'));
    }
    static void Keys(const std::string& id, const std::string& keys) {
        bool ok = false;
        RunCommand("xdotool windowactivate --sync " + id + " key --clearmodifiers " + keys, &ok);
        EXPECT_TRUE(ok) << keys;
        PumpFor(300);
    }
};

void ExpectClientSize(CWnd& wnd, int width, int height) {
    RECT client{};
    wnd.GetClientRect(&client);
    EXPECT_EQ(client.right, width);
    EXPECT_EQ(client.bottom, height);
}

}  // namespace

TEST_F(ProductPages, TheStartPageLeadsToTheServiceStartPage) {
    CInvokeHandler_IsClient isClient(L"IsTavnelClient");
    CInvokeHandler_ShowMessageWnd showMessage(L"ShowMessageWnd");
    CInvokeHandler_GetAppVersion version(L"GetAppVersion");
    CInvokeHandler_GetOptionData getOption(L"GetOptionData");
    CInvokeHandler_SetOptionData setOption(L"SetOptionData");
    CInvokeHandler_GetCustomOptionData getCustom(L"GetCustomOptionData");
    CInvokeHandler_SetCustomOptionData setCustom(L"SetCustomOptionData");
    CInvokeHandler_GetCookie getCookie(L"GetCookie");
    CInvokeHandler_SetCookie setCookie(L"SetCookie");
    CInvokeHandler_Alert alert(L"Alert");
    CInvokeHandler_OpenOptionWnd openOptions(L"OpenOptionWnd");
    CProductPageWnd wnd({&isClient, &showMessage, &version, &getOption, &setOption, &getCustom,
                         &setCustom, &getCookie, &setCookie, &alert, &openOptions});
    ASSERT_TRUE(wnd.Create());
    wnd.Open(L"main.html");
    EXPECT_EQ(wnd.m_nPageWidth, 782);
    EXPECT_EQ(wnd.m_nPageHeight, 558);
    ExpectClientSize(wnd, 782, 558);
    EXPECT_TRUE(PumpUntil([&] { return wnd.GetWindowText() == L"Quorvi"; }, 5000));
    PumpFor(1500);
    EXPECT_FALSE(TakeScreenshot("page_main").empty());
    ASSERT_TRUE(PumpUntil([&] { return !wnd.m_stopped.empty(); }, 10000));
    EXPECT_EQ(wnd.m_stopped.front(), GetServiceStartUrl());

    // Back on the start page after a failed attempt, it waits for the user instead.
    wnd.NavigateTo(ProductPage(L"main.html"));
    ASSERT_TRUE(PumpUntil([&] { return wnd.m_nLoaded == 2; }, 15000));
    PumpFor(2000);
    EXPECT_EQ(wnd.m_stopped.size(), 1u) << "the start page tried the service again on its own";
    EXPECT_FALSE(TakeScreenshot("page_main_offline").empty());
}

TEST_F(ProductPages, TheOptionPageCapturesAHotkeyAndSwitchesStartAtLogin) {
    // The option window's commands in its order; CloseWnd needs the window first.
    auto wnd = std::make_unique<CProductPageWnd>(std::vector<CInvokeHandler*>{});
    CInvokeHandler_GetOptionData getOption(L"GetOptionData");
    CInvokeHandler_SetOptionData setOption(L"SetOptionData");
    CInvokeHandler_CloseWnd close(L"CloseWnd", wnd.get());
    CInvokeHandler_GetCustomOptionData getCustom(L"GetCustomOptionData");
    CInvokeHandler_SetCustomOptionData setCustom(L"SetCustomOptionData");
    CInvokeHandler_Alert alert(L"Alert");
    for (CInvokeHandler* command : std::vector<CInvokeHandler*>{&getOption, &setOption, &close,
                                                                &getCustom, &setCustom, &alert}) {
        wnd->m_pDispatch->RegisterHandler(command);
    }
    ASSERT_TRUE(wnd->Create());
    wnd->Open(L"Option.html");
    EXPECT_EQ(wnd->m_nPageWidth, 420);
    EXPECT_EQ(wnd->m_nPageHeight, 470);
    ExpectClientSize(*wnd, 420, 470);
    ASSERT_EQ(GetClientOptions().vk, 68);
    EXPECT_FALSE(IsAutoRunEnabled());
    PumpFor(1500);
    EXPECT_FALSE(TakeScreenshot("page_option").empty());

    const std::string id = WindowId("Quorvi 选项");
    ASSERT_FALSE(id.empty());
    // Tab reaches the hotkey field; a plain letter is refused, Ctrl+Alt+S is taken.
    Keys(id, "Tab");
    Keys(id, "k");
    EXPECT_EQ(GetClientOptions().vk, 68);
    Keys(id, "ctrl+alt+s");
    EXPECT_EQ(GetClientOptions().vk, 83);
    EXPECT_EQ(GetClientOptions().modifiers, 6);
    // Through the hotkey field to the start-at-login switch, which Space turns on at once.
    Keys(id, "Tab");
    Keys(id, "Tab");
    Keys(id, "space");
    EXPECT_TRUE(IsAutoRunEnabled());
    EXPECT_FALSE(TakeScreenshot("page_option_changed").empty());
    wnd.reset();  // before the commands its page may still call
}

TEST_F(ProductPages, TheAboutPageAndTheUpdatePopupTakeTheirPagesSizes) {
    CProductPageWnd about(std::vector<CInvokeHandler*>{});
    CInvokeHandler_CloseWnd close(L"CloseWnd", &about);
    CInvokeHandler_GetAppVersion version(L"GetAppVersion");
    about.m_pDispatch->RegisterHandler(&close);
    about.m_pDispatch->RegisterHandler(&version);
    ASSERT_TRUE(about.Create());
    about.Open(L"about.html");
    ExpectClientSize(about, 340, 280);
    EXPECT_TRUE(PumpUntil([&] { return about.GetWindowText() == L"关于 Quorvi"; }, 5000));

    CMessageWnd* popup = CMessageWnd::CreatePopup(0, 0);
    ASSERT_NE(popup, nullptr);
    popup->m_bAnimateClose = FALSE;
    popup->NavigateTo(ProductPage(L"update.html"));
    RECT workArea{};
    ASSERT_TRUE(GetWorkArea(&workArea));
    RECT rect{};
    EXPECT_TRUE(PumpUntil(
        [&] {
            popup->GetWindowRect(&rect);
            return popup->IsWindowVisible() && rect.bottom - rect.top == 150;
        },
        10000));
    EXPECT_EQ(rect.right, workArea.right - 3);
    EXPECT_EQ(rect.bottom, workArea.bottom - 3);
    EXPECT_EQ(rect.right - rect.left, 300);
    PumpFor(1500);
    EXPECT_FALSE(TakeScreenshot("page_about_and_update").empty());
    popup->SendMessage(WM_CLOSE);

    // The about page's one button closes its window through a command without arguments.
    const std::string id = WindowId("关于 Quorvi");
    ASSERT_FALSE(id.empty());
    Keys(id, "Tab");
    Keys(id, "Return");
    EXPECT_TRUE(PumpUntil([&] { return about.GetSafeHwnd() == nullptr; }, 5000))
        << "the close button did not close the about window";
}
