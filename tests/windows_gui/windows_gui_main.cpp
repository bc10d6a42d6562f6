// The Windows GUI tests' entry: the main thread is the UI thread, and wine must show its
// windows on a display (tests/windows_gui/run.sh runs the program on the test desktop).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/wnd.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    platform::InitUiThread();
    if (!platform::InitGui({L"songdeck_windows_gui_tests.exe"})) {
        std::fprintf(stderr, "the window framework could not start\n");
        return 1;
    }
    // Without the test desktop's display wine's screen has no panel: the work area is all of it.
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    if (work.bottom >= GetSystemMetrics(SM_CYSCREEN)) {
        std::fprintf(stderr,
                     "no panel on the desktop: run the program through "
                     "tests/windows_gui/run.sh\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
