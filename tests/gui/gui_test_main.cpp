// The GUI tests' entry: the main thread is the UI thread, GTK must find a display and a window
// manager must run on it (without one, placement, frames and closing cannot be tested).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gui_support.h"
#include "platform/messages.h"
#include "platform/text_encoding.h"
#include "platform/wnd.h"

int main(int argc, char** argv) {
    RecordGtkWarnings();
    testing::InitGoogleTest(&argc, argv);
    platform::InitUiThread();
    std::vector<std::wstring> commandLine;
    for (int i = 0; i < argc; ++i) {
        commandLine.push_back(Utf8ToWide(argv[i]));
    }
    if (!platform::InitGui(commandLine)) {
        std::fprintf(stderr,
                     "GUI tests need an X display: run them through tests/gui/session.sh "
                     "(ctest -L gui does)\n");
        return 1;
    }
    // Under a Wayland compositor (wayland_session.sh) the compositor places the windows.
    const bool waylandSession = std::getenv("WAYLAND_DISPLAY") != nullptr;
    const bool windowManager =
        waylandSession ||
        PumpUntil(
            [] {
                return RunCommand("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") !=
                       std::string::npos;
            },
            20000);
    if (!windowManager) {
        std::fprintf(stderr, "no window manager runs on the display (see openbox.log in %s)\n",
                     GuiWorkDir().c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
