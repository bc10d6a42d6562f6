// Special folders as XDG base directories and the system data folder.
#include "platform/known_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/text_encoding.h"

namespace {

std::string FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    // Relative values are ignored, as the XDG rules ask.
    return (value != nullptr && value[0] == '/') ? std::string(value) : std::string();
}

std::string HomeFolder() {
    std::string home = FromEnvironment("HOME");
    if (!home.empty()) {
        return home;
    }
    const passwd* entry = ::getpwuid(::getuid());
    return (entry != nullptr && entry->pw_dir != nullptr) ? std::string(entry->pw_dir) : "";
}

std::string WithoutTrailingSeparators(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::string LocalAppData() {
    std::string path = FromEnvironment("SONGDECK_LOCAL_APPDATA");
    if (path.empty()) {
        path = FromEnvironment("XDG_DATA_HOME");
    }
    if (path.empty()) {
        std::string home = HomeFolder();
        if (!home.empty()) {
            path = WithoutTrailingSeparators(home) + "/.local/share";
        }
    }
    return path;
}

std::string CommonAppData() {
    std::string path = FromEnvironment("SONGDECK_COMMON_APPDATA");
    return path.empty() ? std::string("/var/lib") : path;
}

}  // namespace

std::wstring GetKnownFolderPath(int csidl) {
    std::string path;
    switch (csidl) {
        case CSIDL_LOCAL_APPDATA:
            path = LocalAppData();
            break;
        case CSIDL_COMMON_APPDATA:
            path = CommonAppData();
            break;
        default:
            return {};
    }
    return Utf8ToWide(WithoutTrailingSeparators(path));
}
