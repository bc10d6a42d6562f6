// The virtual-key codes the options store for the hotkey, as X keysyms.
// GoogleTest before Xlib: Xlib's macros break GoogleTest's names.
#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include "platform/hotkey.h"
#include "platform/linux/global_shortcuts_portal.h"
#include "platform/linux/virtual_key_table.h"
#include "platform/virtual_keys.h"

using platform::x11::KeysymOfVirtualKey;

TEST(VirtualKeyTable, LettersAndDigitsAreTheirUnshiftedKeys) {
    EXPECT_EQ(static_cast<unsigned long>(XK_a), KeysymOfVirtualKey('A'));
    EXPECT_EQ(static_cast<unsigned long>(XK_d), KeysymOfVirtualKey('D'));  // the default Ctrl+D
    EXPECT_EQ(static_cast<unsigned long>(XK_z), KeysymOfVirtualKey('Z'));
    EXPECT_EQ(static_cast<unsigned long>(XK_0), KeysymOfVirtualKey('0'));
    EXPECT_EQ(static_cast<unsigned long>(XK_9), KeysymOfVirtualKey('9'));
    // Lower-case letters are other codes (the numpad range), never letters.
    EXPECT_NE(static_cast<unsigned long>(XK_a), KeysymOfVirtualKey('a'));
}

TEST(VirtualKeyTable, FunctionKeysRunFromF1ToF24) {
    EXPECT_EQ(static_cast<unsigned long>(XK_F1), KeysymOfVirtualKey(VK_F1));
    EXPECT_EQ(static_cast<unsigned long>(XK_F12), KeysymOfVirtualKey(VK_F1 + 11));
    EXPECT_EQ(static_cast<unsigned long>(XK_F24), KeysymOfVirtualKey(VK_F24));
    EXPECT_EQ(static_cast<unsigned long>(NoSymbol), KeysymOfVirtualKey(VK_F24 + 1));
}

TEST(VirtualKeyTable, NumpadKeysAreTheKeypadsOwn) {
    EXPECT_EQ(static_cast<unsigned long>(XK_KP_0), KeysymOfVirtualKey(VK_NUMPAD0));
    EXPECT_EQ(static_cast<unsigned long>(XK_KP_9), KeysymOfVirtualKey(VK_NUMPAD0 + 9));
    EXPECT_EQ(static_cast<unsigned long>(XK_KP_Add), KeysymOfVirtualKey(VK_ADD));
    EXPECT_EQ(static_cast<unsigned long>(XK_KP_Subtract), KeysymOfVirtualKey(VK_SUBTRACT));
    EXPECT_EQ(static_cast<unsigned long>(XK_KP_Multiply), KeysymOfVirtualKey(VK_MULTIPLY));
    EXPECT_EQ(static_cast<unsigned long>(XK_KP_Divide), KeysymOfVirtualKey(VK_DIVIDE));
    EXPECT_EQ(static_cast<unsigned long>(XK_KP_Decimal), KeysymOfVirtualKey(VK_DECIMAL));
}

TEST(VirtualKeyTable, NavigationAndEditingKeys) {
    const std::pair<UINT, unsigned long> pairs[] = {
        {VK_PRIOR, XK_Page_Up}, {VK_NEXT, XK_Page_Down}, {VK_HOME, XK_Home},
        {VK_END, XK_End},       {VK_LEFT, XK_Left},      {VK_UP, XK_Up},
        {VK_RIGHT, XK_Right},   {VK_DOWN, XK_Down},      {VK_INSERT, XK_Insert},
        {VK_DELETE, XK_Delete}, {VK_BACK, XK_BackSpace}, {VK_TAB, XK_Tab},
        {VK_RETURN, XK_Return}, {VK_ESCAPE, XK_Escape},  {VK_SPACE, XK_space},
        {VK_PAUSE, XK_Pause},   {VK_SNAPSHOT, XK_Print},
    };
    for (const auto& [vk, keysym] : pairs) {
        EXPECT_EQ(keysym, KeysymOfVirtualKey(vk)) << "virtual key 0x" << std::hex << vk;
    }
}

TEST(VirtualKeyTable, PunctuationKeysOfTheUsLayout) {
    const std::pair<UINT, unsigned long> pairs[] = {
        {VK_OEM_1, XK_semicolon},    {VK_OEM_PLUS, XK_equal},    {VK_OEM_COMMA, XK_comma},
        {VK_OEM_MINUS, XK_minus},    {VK_OEM_PERIOD, XK_period}, {VK_OEM_2, XK_slash},
        {VK_OEM_3, XK_grave},        {VK_OEM_4, XK_bracketleft}, {VK_OEM_5, XK_backslash},
        {VK_OEM_6, XK_bracketright}, {VK_OEM_7, XK_apostrophe},
    };
    for (const auto& [vk, keysym] : pairs) {
        EXPECT_EQ(keysym, KeysymOfVirtualKey(vk)) << "virtual key 0x" << std::hex << vk;
    }
}

TEST(VirtualKeyTable, MediaKeysSuitAMusicClient) {
    EXPECT_EQ(static_cast<unsigned long>(XF86XK_AudioPlay), KeysymOfVirtualKey(0xB3));
    EXPECT_EQ(static_cast<unsigned long>(XF86XK_AudioNext), KeysymOfVirtualKey(0xB0));
    EXPECT_EQ(static_cast<unsigned long>(XF86XK_AudioPrev), KeysymOfVirtualKey(0xB1));
}

TEST(VirtualKeyTable, ModifiersLocksAndUnknownCodesHaveNoKey) {
    // A lock key's state is ignored by every grab, and a modifier alone is no hotkey.
    for (UINT vk : {VK_CAPITAL, VK_NUMLOCK, 0x10u, 0x11u, 0x12u, 0x00u, 0x07u, 0xFFu, 0x1234u}) {
        EXPECT_EQ(static_cast<unsigned long>(NoSymbol), KeysymOfVirtualKey(vk))
            << "virtual key 0x" << std::hex << vk;
    }
}

TEST(VirtualKeyTable, PortalTriggersNameModifiersInOrderAndKeysAsLabelled) {
    using platform::portal::TriggerOf;
    EXPECT_EQ(TriggerOf(MOD_CONTROL, 'D'), "CTRL+D");
    EXPECT_EQ(TriggerOf(MOD_SHIFT | MOD_ALT | MOD_CONTROL | MOD_WIN, '7'), "CTRL+ALT+SHIFT+LOGO+7");
    EXPECT_EQ(TriggerOf(MOD_ALT | MOD_NOREPEAT, VK_F1 + 8), "ALT+F9");
    EXPECT_EQ(TriggerOf(MOD_CONTROL, VK_NUMPAD0 + 5), "CTRL+KP_5");
    EXPECT_EQ(TriggerOf(MOD_CONTROL, VK_OEM_PLUS), "CTRL+equal");
    // No key, no trigger: the portal is never asked for a bare modifier.
    EXPECT_EQ(TriggerOf(MOD_CONTROL, VK_CAPITAL), "");
}
