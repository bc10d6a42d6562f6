// Special folders as XDG base directories.
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

// The override, else the XDG variable, else the folder below the home folder.
std::string XdgFolder(const char* override, const char* variable, const char* belowHome) {
    std::string path = FromEnvironment(override);
    if (path.empty()) {
        path = FromEnvironment(variable);
    }
    if (path.empty()) {
        std::string home = HomeFolder();
        if (!home.empty()) {
            path = WithoutTrailingSeparators(home) + belowHome;
        }
    }
    return path;
}

std::string LocalAppData() {
    return XdgFolder("SONGDECK_LOCAL_APPDATA", "XDG_DATA_HOME", "/.local/share");
}

// The update stage must belong to the user who runs the client and applies it: a system folder
// such as /var/lib is not writable for an ordinary user, so the all-users folder is per user.
std::string CommonAppData() {
    return XdgFolder("SONGDECK_COMMON_APPDATA", "XDG_STATE_HOME", "/.local/state");
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

int GetUpdateStageFolder() {
    return CSIDL_COMMON_APPDATA;
}
