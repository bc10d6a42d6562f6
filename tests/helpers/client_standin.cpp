// A client stand-in for the launcher tests, stamped with the build's version as the real client
// is: started as the client it records its stamp and arguments in started.txt beside itself;
// with "--swap-launcher" it does what the client does when its update thread ends. A copy that
// ends in a marker line (bytes past the program, which the system ignores) records the marker's
// word instead of its stamp, so that tests tell an old client from a new one without a script;
// the words of launcher_process.h's MarkedStandIn make a client that fails to start.
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "app/helpers.h"
#include "platform/files.h"
#include "platform/module.h"
#include "platform/text_encoding.h"
#include "update/previous_version.h"
#include "update/update_files.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--swap-launcher") {
        // What CClientUpdater::SwapLauncher does, without the updater's windows.
        SwapDeliveredLauncher(GetModuleDirectory(nullptr));
        return 0;
    }
    std::wstring version;
    ReadModuleVersionStamp(GetModulePath(nullptr), version);
    std::string line = WideToUtf8(version);
    std::ifstream self(PathFromWide(GetModulePath(nullptr)), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(self), {}};
    const std::string marker = "\n#songdeck-client ";
    const size_t at = bytes.rfind(marker);
    if (at != std::string::npos && bytes.size() - at < 64 && bytes.back() == '\n') {
        line = bytes.substr(at + marker.size(), bytes.size() - at - marker.size() - 1);
    }
    // Clients that never give the word that they started.
    // A client that restarts: it ends a moment after it started the launcher.
    if (line == "ending") {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        return 0;
    }
    if (line == "broken-exit") {
        return 3;
    }
    if (line == "broken-hang") {
        std::this_thread::sleep_for(std::chrono::minutes(10));
    }
    if (line == "broken-signal") {
        std::raise(SIGABRT);
    }
    for (int i = 1; i < argc; ++i) {
        line += std::string(" ") + argv[i];
    }
    // Whole or not at all, so that the test never reads half a line.
    const std::string folder = WideToUtf8(GetModuleDirectory(nullptr));
    std::ofstream(folder + "started.tmp", std::ios::binary) << line << "\n";
    const int renamed =
        std::rename((folder + "started.tmp").c_str(), (folder + "started.txt").c_str());
    ReportVersionStarted();
    return renamed;
}
