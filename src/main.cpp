// The client's entry: the UI thread, the application object, and its loop while the main
// window lives.
#include <cstdio>
#include <string>
#include <vector>

#include "app/main_app.h"
#include "platform/messages.h"
#include "platform/program_entry.h"
#include "platform/wnd.h"

int ProgramMain(std::vector<std::wstring> commandLine) {
    platform::InitUiThread();
    // The installer's modes run from package scripts, where there may be no display.
    const bool gui = platform::InitGui(commandLine);
    if (!gui && !IsCommandMode(commandLine)) {
        std::fprintf(stderr, "SongDeck: no display could be opened\n");
        return 1;
    }
    CMainApp app(std::move(commandLine));
    app.InitInstance();
    if (app.m_pMainWnd == nullptr) {
        // A mode, a hand-over or the hint: nothing to run.
        return app.ExitInstance();
    }
    return app.Run();
}
