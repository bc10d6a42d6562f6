// A stand-in for the user's default browser: home's browser.sh (its body given) is what the
// desktop's association opens http and https addresses with, for a process whose
// XDG_DATA_HOME is home/data and XDG_CONFIG_HOME home/config.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "temp_folder.h"

inline void WriteStandInBrowser(const TempFolder& home, const std::string& scriptBody) {
    std::filesystem::create_directories(home.path() / "data/applications");
    std::filesystem::create_directories(home.path() / "config");
    home.Write("browser.sh", "#!/bin/sh\n" + scriptBody);
    chmod((home.path() / "browser.sh").c_str(), 0755);
    home.Write("data/applications/test-browser.desktop",
               "[Desktop Entry]\nType=Application\nName=Test browser\nExec=" +
                   (home.path() / "browser.sh").string() +
                   " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\n");
    home.Write("config/mimeapps.list",
               "[Default Applications]\nx-scheme-handler/http=test-browser.desktop\n"
               "x-scheme-handler/https=test-browser.desktop\n");
}
