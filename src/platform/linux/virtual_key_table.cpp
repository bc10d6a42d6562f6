#include "platform/linux/virtual_key_table.h"

#include <X11/X.h>
#include <X11/XF86keysym.h>
#include <X11/keysym.h>

#include "platform/virtual_keys.h"

namespace platform::x11 {
namespace {

struct KeyPair {
    UINT vk;
    unsigned long keysym;
};

// Codes outside the letter, digit, function-key and numpad-digit ranges.
constexpr KeyPair kNamedKeys[] = {
    {VK_BACK, XK_BackSpace},
    {VK_TAB, XK_Tab},
    {VK_CLEAR, XK_Clear},
    {VK_RETURN, XK_Return},
    {VK_PAUSE, XK_Pause},
    {VK_ESCAPE, XK_Escape},
    {VK_SPACE, XK_space},
    {VK_PRIOR, XK_Prior},
    {VK_NEXT, XK_Next},
    {VK_END, XK_End},
    {VK_HOME, XK_Home},
    {VK_LEFT, XK_Left},
    {VK_UP, XK_Up},
    {VK_RIGHT, XK_Right},
    {VK_DOWN, XK_Down},
    {VK_SNAPSHOT, XK_Print},
    {VK_INSERT, XK_Insert},
    {VK_DELETE, XK_Delete},
    {0x5D, XK_Menu},  // VK_APPS
    {VK_MULTIPLY, XK_KP_Multiply},
    {VK_ADD, XK_KP_Add},
    {VK_SEPARATOR, XK_KP_Separator},
    {VK_SUBTRACT, XK_KP_Subtract},
    {VK_DECIMAL, XK_KP_Decimal},
    {VK_DIVIDE, XK_KP_Divide},
    {0xA6, XF86XK_Back},              // VK_BROWSER_BACK
    {0xA7, XF86XK_Forward},           // VK_BROWSER_FORWARD
    {0xAD, XF86XK_AudioMute},         // VK_VOLUME_MUTE
    {0xAE, XF86XK_AudioLowerVolume},  // VK_VOLUME_DOWN
    {0xAF, XF86XK_AudioRaiseVolume},  // VK_VOLUME_UP
    {0xB0, XF86XK_AudioNext},         // VK_MEDIA_NEXT_TRACK
    {0xB1, XF86XK_AudioPrev},         // VK_MEDIA_PREV_TRACK
    {0xB2, XF86XK_AudioStop},         // VK_MEDIA_STOP
    {0xB3, XF86XK_AudioPlay},         // VK_MEDIA_PLAY_PAUSE
    {VK_OEM_1, XK_semicolon},
    {VK_OEM_PLUS, XK_equal},
    {VK_OEM_COMMA, XK_comma},
    {VK_OEM_MINUS, XK_minus},
    {VK_OEM_PERIOD, XK_period},
    {VK_OEM_2, XK_slash},
    {VK_OEM_3, XK_grave},
    {VK_OEM_4, XK_bracketleft},
    {VK_OEM_5, XK_backslash},
    {VK_OEM_6, XK_bracketright},
    {VK_OEM_7, XK_apostrophe},
    {0xE2, XK_less},  // VK_OEM_102, the extra key of ISO keyboards
};

}  // namespace

unsigned long KeysymOfVirtualKey(UINT vk) {
    if (vk >= 'A' && vk <= 'Z') {
        return XK_a + (vk - 'A');
    }
    if (vk >= '0' && vk <= '9') {
        return XK_0 + (vk - '0');
    }
    if (vk >= VK_F1 && vk <= VK_F24) {
        return XK_F1 + (vk - VK_F1);
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) {
        return XK_KP_0 + (vk - VK_NUMPAD0);
    }
    for (const KeyPair& pair : kNamedKeys) {
        if (pair.vk == vk) {
            return pair.keysym;
        }
    }
    return NoSymbol;
}

}  // namespace platform::x11
