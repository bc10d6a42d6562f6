// A client stand-in for the launcher tests, stamped with the build's version as the real client
// is: started as the client it records its stamp and arguments in started.txt beside itself;
// with "--swap-launcher" it does what the client does when its update thread ends.
#include <cstdio>
#include <fstream>
#include <string>

#include "app/helpers.h"
#include "platform/module.h"
#include "platform/text_encoding.h"
#include "update/client_updater.h"

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--swap-launcher") {
        CClientUpdater::SwapLauncher();
        return 0;
    }
    std::wstring version;
    ReadModuleVersionStamp(GetModulePath(nullptr), version);
    std::string line = WideToUtf8(version);
    for (int i = 1; i < argc; ++i) {
        line += std::string(" ") + argv[i];
    }
    // Whole or not at all, so that the test never reads half a line.
    const std::string folder = WideToUtf8(GetModuleDirectory(nullptr));
    std::ofstream(folder + "started.tmp", std::ios::binary) << line << "\n";
    return std::rename((folder + "started.tmp").c_str(), (folder + "started.txt").c_str());
}
