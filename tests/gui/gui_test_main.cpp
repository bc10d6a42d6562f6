// The GUI tests' entry: the main thread is the UI thread and GTK must find a display.
#include <gtest/gtest.h>

#include <cstdio>

#include "platform/messages.h"
#include "platform/wnd.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    platform::InitUiThread();
    if (!platform::InitGui(&argc, &argv)) {
        std::fprintf(stderr,
                     "GUI tests need an X display: run them through tests/gui/session.sh "
                     "(ctest -L gui does)\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
