// The page side of window.external: a user script injected at document start into every
// frame. Calls travel synchronously as prompt() dialogs whose message begins with a marker
// only this process knows; the view answers them (see web_view_gtk.cpp).
#pragma once

#include <string>

namespace platform::gtk {

// The marker of this process's bridge dialogs (random, made on first use).
const std::string& GetBridgeMarker();
std::string BuildBridgeScript(const std::string& marker);

}  // namespace platform::gtk
