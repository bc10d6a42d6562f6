// The X keysyms of the virtual-key codes a hotkey is stored with.
#pragma once

#include "platform/types.h"

namespace platform::x11 {

// The keysym of the key a virtual-key code names (the unshifted symbol: 'A' is XK_a,
// VK_OEM_PLUS is XK_equal); 0 (NoSymbol) for a code with no key, and for the lock keys,
// which cannot be hotkeys because their state is ignored.
unsigned long KeysymOfVirtualKey(UINT vk);

}  // namespace platform::x11
