// The page side of window.external: a user script injected at document start into every
// frame of a view, which stands down at once in documents the view does not trust. Calls
// travel synchronously as prompt() dialogs whose message begins with a marker only that view
// knows; the view answers them (see web_view_gtk.cpp).
#pragma once

#include <string>

#include "platform/trusted_pages.h"

namespace platform::gtk {

// A new random marker for one view's bridge dialogs.
std::string MakeBridgeMarker();
std::string BuildBridgeScript(const std::string& marker, const CTrustedPages& trusted);

}  // namespace platform::gtk
