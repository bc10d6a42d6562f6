// The client's entry: the UI thread, the application object, and its loop while the main
// window lives.
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_app.h"
#include "platform/messages.h"
#include "platform/text_encoding.h"

int main(int argc, char** argv) {
    std::vector<std::wstring> arguments;
    for (int i = 0; i < argc; ++i) {
        arguments.push_back(Utf8ToWide(argv[i]));
    }
    platform::InitUiThread();
    // The installer's modes run from package scripts, where there may be no display.
    const bool gui = platform::InitGui(&argc, &argv);
    if (!gui && !IsCommandMode(arguments)) {
        std::fprintf(stderr, "SongDeck: no display could be opened\n");
        return 1;
    }
    CMainApp app(std::move(arguments));
    app.InitInstance();
    if (app.m_pMainWnd == nullptr) {
        // A mode, a hand-over or the hint: nothing to run.
        return app.ExitInstance();
    }
    return app.Run();
}
