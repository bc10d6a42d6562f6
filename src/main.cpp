// The client's entry: the UI thread, the application object, and its loop while the main
// window lives.
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
    // The installer's modes need no display: a package manager runs them without one.
    const bool isMode =
        arguments.size() > 1 &&
        (arguments[1] == L"install" || arguments[1] == L"uninstall" || arguments[1] == L"exit");
    if (!platform::InitGui(&argc, &argv) && !isMode) {
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
