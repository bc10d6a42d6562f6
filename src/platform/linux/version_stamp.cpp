// The project version, stamped into every executable that links the core library in a section
// of its own so that it can be read back from the file on disk (the build forces this object in
// with --undefined, and "retain" keeps the section through --gc-sections).
#include "build_config.h"

// The stamp has a fixed size, so that a release tool can stamp another version into a built
// executable without relinking it (objcopy --update-section).
extern "C" {
__attribute__((section(".songdeck_version"), used,
               retain)) extern const char songdeck_version_stamp[32] = SONGDECK_VERSION_TEXT;
}
