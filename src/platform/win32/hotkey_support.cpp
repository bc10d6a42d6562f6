// Global hotkeys on Windows are RegisterHotKey's: they work whichever window has the focus.
#include "platform/hotkey.h"

namespace platform {

bool HotkeyNeedsFocus() {
    return false;
}

}  // namespace platform
