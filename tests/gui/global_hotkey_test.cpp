// Global hotkeys on the X root window, pressed with xdotool, and combinations that another X
// client holds.
#include "window_test_support.h"

#include "platform/hotkey.h"
#include "platform/virtual_keys.h"

using guitest::kWaitMs;
using testsupport::RecordingWnd;

namespace {

constexpr int kShowHotkey = 293;

// Another X client, as another program on the desktop that holds a key combination.
class OtherClient {
public:
    OtherClient() : m_pDisplay(XOpenDisplay(nullptr)) {}
    ~OtherClient() {
        if (m_pDisplay != nullptr) {
            XCloseDisplay(m_pDisplay);
        }
    }
    bool Grab(KeySym keysym, unsigned int modifiers) {
        XGrabKey(m_pDisplay, XKeysymToKeycode(m_pDisplay, keysym), modifiers,
                 DefaultRootWindow(m_pDisplay), False, GrabModeAsync, GrabModeAsync);
        XSync(m_pDisplay, False);
        return true;
    }
    void Release() {
        XUngrabKey(m_pDisplay, AnyKey, AnyModifier, DefaultRootWindow(m_pDisplay));
        XSync(m_pDisplay, False);
    }
    bool Connected() const { return m_pDisplay != nullptr; }

private:
    Display* m_pDisplay;
};

bool WaitForHotkeys(RecordingWnd& wnd, size_t count) {
    return PumpUntil([&] { return wnd.Count(WM_HOTKEY) >= count; }, kWaitMs);
}

}  // namespace

TEST(GlobalHotkey, PressedComboReachesTheWindow) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    ASSERT_TRUE(RegisterHotKey(wnd.m_hWnd, kShowHotkey, MOD_CONTROL, 'D'));
    EXPECT_FALSE(RegisterHotKey(wnd.m_hWnd, kShowHotkey, MOD_ALT, 'Q')) << "the id is in use";
    EXPECT_FALSE(RegisterHotKey(wnd.m_hWnd, 7, MOD_CONTROL, 'D')) << "the combination is in use";

    RunCommand("xdotool key ctrl+d");
    ASSERT_TRUE(WaitForHotkeys(wnd, 1)) << "Ctrl+D did not arrive as WM_HOTKEY";
    const auto received = wnd.All();
    const auto hotkey = std::find_if(received.begin(), received.end(),
                                     [](const auto& r) { return r.message == WM_HOTKEY; });
    EXPECT_EQ(static_cast<WPARAM>(kShowHotkey), hotkey->wParam);
    EXPECT_EQ(MAKELPARAM(MOD_CONTROL, 'D'), hotkey->lParam);

    // Other modifiers make another combination; D alone is typing, not the hotkey.
    RunCommand("xdotool key ctrl+shift+d key d");
    PumpFor(300);
    EXPECT_EQ(1u, wnd.Count(WM_HOTKEY));

    // NumLock and CapsLock on do not hide the hotkey.
    RunCommand("xdotool key Num_Lock key Caps_Lock key ctrl+d key Caps_Lock key Num_Lock");
    EXPECT_TRUE(WaitForHotkeys(wnd, 2)) << "a lock key hid the hotkey";

    EXPECT_TRUE(UnregisterHotKey(wnd.m_hWnd, kShowHotkey));
    EXPECT_FALSE(UnregisterHotKey(wnd.m_hWnd, kShowHotkey));
    RunCommand("xdotool key ctrl+d");
    PumpFor(300);
    EXPECT_EQ(2u, wnd.Count(WM_HOTKEY)) << "an unregistered hotkey still arrives";
}

TEST(GlobalHotkey, FunctionPunctuationAndNumpadKeys) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    ASSERT_TRUE(RegisterHotKey(wnd.m_hWnd, 1, MOD_ALT | MOD_SHIFT, VK_F1 + 8));  // F9
    ASSERT_TRUE(RegisterHotKey(wnd.m_hWnd, 2, MOD_CONTROL | MOD_ALT, VK_OEM_PLUS));
    ASSERT_TRUE(RegisterHotKey(wnd.m_hWnd, 3, MOD_CONTROL, VK_NUMPAD0 + 5));
    RunCommand("xdotool key alt+shift+F9 key ctrl+alt+equal key ctrl+KP_5");
    ASSERT_TRUE(WaitForHotkeys(wnd, 3));
    EXPECT_EQ((std::vector<WPARAM>{1, 2, 3}), wnd.ParamsOf(WM_HOTKEY));
    for (int id : {1, 2, 3}) {
        EXPECT_TRUE(UnregisterHotKey(wnd.m_hWnd, id));
    }
}

TEST(GlobalHotkey, ComboHeldByAnotherClientFails) {
    OtherClient other;
    ASSERT_TRUE(other.Connected());
    other.Grab(XK_d, ControlMask | Mod1Mask);
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_FALSE(RegisterHotKey(wnd.m_hWnd, kShowHotkey, MOD_CONTROL | MOD_ALT, 'D'))
        << "a combination another program holds must fail";
    // Held only with NumLock on is held all the same: the hotkey would not work then.
    other.Release();
    other.Grab(XK_e, ControlMask | Mod2Mask);
    EXPECT_FALSE(RegisterHotKey(wnd.m_hWnd, kShowHotkey, MOD_CONTROL, 'E'));
    other.Release();

    // Once released, it can be had, and it works.
    ASSERT_TRUE(RegisterHotKey(wnd.m_hWnd, kShowHotkey, MOD_CONTROL | MOD_ALT, 'D'));
    RunCommand("xdotool key ctrl+alt+d");
    EXPECT_TRUE(WaitForHotkeys(wnd, 1));
    EXPECT_TRUE(UnregisterHotKey(wnd.m_hWnd, kShowHotkey));
}

TEST(GlobalHotkey, KeysWithoutAKeyOrWindowFail) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.Create());
    EXPECT_FALSE(RegisterHotKey(wnd.m_hWnd, 1, MOD_CONTROL, 0));
    EXPECT_FALSE(RegisterHotKey(wnd.m_hWnd, 1, MOD_CONTROL, VK_CAPITAL));
    EXPECT_FALSE(RegisterHotKey(nullptr, 1, MOD_CONTROL, 'D'));
}
