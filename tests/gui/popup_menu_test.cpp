// Pop-up menus as the tray uses them: shown at a point, chosen with the mouse by xdotool,
// the choice arriving as WM_COMMAND or as the result.
#include "window_test_support.h"

#include <atomic>
#include <thread>

#include "platform/menu.h"
#include "platform/window_functions.h"
#include "web_test_support.h"
#include "windows/message_wnd.h"

using guitest::kWaitMs;
using testsupport::RecordingWnd;

namespace {

constexpr UINT kOpen = 32773, kExit = 32774, kOptions = 32776, kAbout = 32778;

// A menu resource as the tray's: one submenu holding open (the default), options, about, exit.
HMENU BuildTrayMenu() {
    HMENU bar = CreateMenu();
    HMENU items = CreatePopupMenu();
    AppendMenuW(items, MF_STRING, kOpen, L"打开");
    AppendMenuW(items, MF_STRING, kOptions, L"选项");
    AppendMenuW(items, MF_STRING, kAbout, L"关于");
    AppendMenuW(items, MF_STRING, kExit, L"退出");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(items), L"");
    return bar;
}

// Acts on the menu from another thread once it is on screen, as a person at the mouse
// would; at the deadline it closes the menu, so a test never waits for ever.
class MenuDriver {
public:
    explicit MenuDriver(std::function<void()> act) {
        m_thread = std::thread([this, act] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (std::chrono::steady_clock::now() < deadline && !m_bOpen) {
                platform::SendTask(platform::GetUiThreadId(), [this] {
                    RECT first{};
                    if (platform::testing::OpenMenuItemRect(0, &first)) {
                        m_items = platform::testing::OpenMenuItems();
                        for (int i = 0; i < 4; ++i) {
                            platform::testing::OpenMenuItemRect(i, &m_rects[i]);
                        }
                        m_bOpen = true;
                    }
                });
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (m_bOpen) {
                act();
            }
            // Whatever happened, this menu does not stay open (and no later one is touched).
            const auto closeBy = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            while (!m_bTracked && std::chrono::steady_clock::now() < closeBy) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            if (!m_bTracked) {
                platform::PostTask(platform::GetUiThreadId(),
                                   [] { platform::testing::CloseOpenMenu(); });
            }
        });
    }
    // Call once TrackPopupMenu has returned.
    void Tracked() { m_bTracked = true; }
    ~MenuDriver() {
        m_bTracked = true;
        m_thread.join();
    }
    bool Opened() const { return m_bOpen; }
    const std::vector<std::wstring>& Items() const { return m_items; }
    RECT ItemRect(int pos) const { return m_rects[pos]; }
    static void Click(const RECT& rect, int button) {
        RunCommand("xdotool mousemove " + std::to_string((rect.left + rect.right) / 2) + " " +
                   std::to_string((rect.top + rect.bottom) / 2) + " sleep 0.2 click " +
                   std::to_string(button));
    }

private:
    std::thread m_thread;
    std::atomic<bool> m_bOpen{false};
    std::atomic<bool> m_bTracked{false};
    std::vector<std::wstring> m_items;
    RECT m_rects[4]{};
};

// The screen's pixels inside rect, as raw RGB bytes.
std::string ScreenPixels(const RECT& rect) {
    return RunCommand("import -window root -depth 8 -crop " +
                      std::to_string(rect.right - rect.left) + "x" +
                      std::to_string(rect.bottom - rect.top) + "+" + std::to_string(rect.left) +
                      "+" + std::to_string(rect.top) + " rgb:-");
}

int DifferentPixels(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return -1;
    }
    int count = 0;
    for (size_t i = 0; i + 2 < a.size(); i += 3) {
        count += a.compare(i, 3, b, i, 3) != 0 ? 1 : 0;
    }
    return count;
}

}  // namespace

TEST(PopupMenu, AMessagePopupUnderTheMenuIsWholeAgainOnceTheMenuCloses) {
    webtest::CPageFolder pages;
    const std::wstring page = pages.Write(
        "update.html",
        "<html><head><meta charset='utf-8'><title>covered</title></head>"
        "<body style='width:300px;height:200px;margin:0;"
        "background:linear-gradient(#2c5282,#9b2c2c)'><p style='color:white'>新版本</p>"
        "<button style='position:absolute;right:12px;bottom:12px'>立即重启</button></body></html>");
    CMessageWnd* popup = CMessageWnd::CreatePopup(0, 0);
    ASSERT_NE(popup, nullptr);
    const HWND popupHandle = popup->m_hWnd;
    popup->NavigateTo(page);
    RECT rect{};
    ASSERT_TRUE(PumpUntil(
        [&] {
            popup->GetWindowRect(&rect);
            return popup->IsWindowVisible() && rect.bottom - rect.top == 200;
        },
        10000))
        << "the popup did not slide in";
    PumpFor(500);
    const std::string before = ScreenPixels(rect);
    ASSERT_EQ(before.size(), 300u * 200u * 3u);

    // The tray's menu opens at the corner and covers the popup's lower part, then closes.
    RecordingWnd owner;
    ASSERT_TRUE(owner.Create());
    HMENU bar = BuildTrayMenu();
    HMENU menu = GetSubMenu(bar, 0);
    RECT covered{};
    MenuDriver driver([&] {
        covered = driver.ItemRect(3);
        RunCommand("xdotool key Escape");
    });
    TrackPopupMenu(menu, TPM_RETURNCMD, rect.right - 10, rect.bottom - 10, 0, owner.m_hWnd,
                   nullptr);
    driver.Tracked();
    ASSERT_TRUE(driver.Opened());
    EXPECT_TRUE(covered.right > rect.left && covered.bottom > rect.top &&
                covered.left < rect.right && covered.top < rect.bottom)
        << "the menu did not cover the popup";

    int different = -1;
    for (int waited = 0; waited < 3000 && different != 0; waited += 200) {
        PumpFor(200);
        different = DifferentPixels(ScreenPixels(rect), before);
    }
    EXPECT_EQ(different, 0) << "pixels of the popup not drawn again after the menu closed";
    TakeScreenshot("popup-after-menu");
    DestroyMenu(bar);
    if (CWnd::FromHandle(popupHandle) != nullptr) {
        popup->DestroyWindow();
    }
}

TEST(PopupMenu, ChosenItemReachesTheOwnerAsCommand) {
    const size_t warnedBefore = GtkWarningsSoFar().size();
    RecordingWnd owner;
    ASSERT_TRUE(owner.Create());
    HMENU menu = BuildTrayMenu();
    HMENU items = GetSubMenu(menu, 0);
    ASSERT_NE(nullptr, items);
    EXPECT_EQ(4, GetMenuItemCount(items));
    EXPECT_TRUE(SetMenuDefaultItem(items, kOpen, FALSE));
    EXPECT_FALSE(SetMenuDefaultItem(items, 12345, FALSE));

    POINT cursor{};
    ASSERT_TRUE(GetCursorPos(&cursor));
    MenuDriver driver([&] {
        TakeScreenshot("tray-menu");
        MenuDriver::Click(driver.ItemRect(1), 1);
    });
    // Near the tray in the bottom-right corner: the menu must open where it can be seen.
    const BOOL chosen = TrackPopupMenu(items, 0, 1270, 790, 0, owner.m_hWnd, nullptr);
    driver.Tracked();
    ASSERT_TRUE(driver.Opened()) << "the menu did not open";
    EXPECT_EQ((std::vector<std::wstring>{L"<b>打开</b>", L"选项", L"关于", L"退出"}),
              driver.Items())
        << "items in order, the default one bold";
    for (int i = 0; i < 4; ++i) {
        const RECT rect = driver.ItemRect(i);
        EXPECT_TRUE(rect.left >= 0 && rect.top >= 0 && rect.right <= 1280 && rect.bottom <= 800)
            << "item " << i << " is off the screen";
    }
    EXPECT_TRUE(chosen);
    EXPECT_TRUE(PumpUntil([&] { return owner.Count(WM_COMMAND) == 1; }, kWaitMs))
        << "the choice did not arrive as WM_COMMAND";
    EXPECT_EQ(std::vector<WPARAM>{kOptions}, owner.ParamsOf(WM_COMMAND));
    EXPECT_TRUE(DestroyMenu(menu));
    // Opened from a posted message, as the tray opens it, with no event behind it.
    EXPECT_EQ(GtkWarningsSoFar().substr(warnedBefore), "");
}

TEST(PopupMenu, ReturnCommandAnswersWithoutPosting) {
    RecordingWnd owner;
    ASSERT_TRUE(owner.Create());
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kOpen, L"&Open");
    AppendMenuW(menu, MF_STRING, kOptions, L"Options");
    AppendMenuW(menu, MF_STRING, kAbout, L"About");
    AppendMenuW(menu, MF_STRING, kExit, L"E&xit");
    MenuDriver driver([&] { MenuDriver::Click(driver.ItemRect(3), 3); });
    const BOOL chosen =
        TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, 400, 300, owner.m_hWnd, nullptr);
    driver.Tracked();
    ASSERT_TRUE(driver.Opened());
    EXPECT_EQ(static_cast<BOOL>(kExit), chosen) << "a right click chooses with TPM_RIGHTBUTTON";
    EXPECT_EQ(L"E_xit", driver.Items()[3]) << "the mnemonic in GTK's form";
    PumpFor(200);
    EXPECT_EQ(0u, owner.Count(WM_COMMAND)) << "TPM_RETURNCMD must not post the command";
    DestroyMenu(menu);
}

TEST(PopupMenu, ClickElsewhereClosesWithoutChoice) {
    RecordingWnd owner;
    ASSERT_TRUE(owner.Create());
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, kOpen, L"打开");
    AppendMenuW(menu, MF_STRING, kExit, L"退出");
    MenuDriver driver([] { MenuDriver::Click({100, 100, 101, 101}, 1); });
    EXPECT_EQ(0, TrackPopupMenu(menu, TPM_RETURNCMD, 600, 400, 0, owner.m_hWnd, nullptr));
    driver.Tracked();
    ASSERT_TRUE(driver.Opened());
    MenuDriver escape([] { RunCommand("xdotool key Escape"); });
    EXPECT_FALSE(TrackPopupMenu(menu, 0, 600, 400, 0, owner.m_hWnd, nullptr));
    escape.Tracked();
    ASSERT_TRUE(escape.Opened());
    PumpFor(200);
    EXPECT_EQ(0u, owner.Count(WM_COMMAND));
    DestroyMenu(menu);
}
