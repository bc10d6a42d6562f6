#include "gui_support.h"

#include <cstdio>
#include <cstdlib>

#include "platform/messages.h"

bool PumpUntil(std::function<bool()> cond, int timeoutMs) {
    return platform::PumpMessagesUntil(cond, static_cast<DWORD>(timeoutMs));
}

void PumpFor(int milliseconds) {
    platform::PumpMessagesUntil([] { return false; }, static_cast<DWORD>(milliseconds));
}

std::string GuiWorkDir() {
    const char* dir = std::getenv("SONGDECK_GUI_WORKDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

std::string RunCommand(const std::string& command, bool* ok, int timeoutMs) {
    // timeout(1) bounds the tool, so a stuck tool fails the test instead of hanging it.
    const std::string bounded =
        "timeout " + std::to_string((timeoutMs + 999) / 1000) + " " + command + " 2>/dev/null";
    std::string output;
    FILE* pipe = popen(bounded.c_str(), "r");
    if (pipe == nullptr) {
        if (ok != nullptr) {
            *ok = false;
        }
        return output;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        output.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (ok != nullptr) {
        *ok = status == 0;
    }
    return output;
}

std::string TakeScreenshot(const std::string& name) {
    // Let pending drawing reach the server first.
    PumpFor(100);
    const std::string path = GuiWorkDir() + "/" + name + ".png";
    bool ok = false;
    RunCommand("import -window root '" + path + "'", &ok);
    return ok ? path : std::string();
}
