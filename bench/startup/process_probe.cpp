#include "process_probe.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <spawn.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace {

bool IsShownWithTitle(Display* display, Window window, const std::string& title) {
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, window, &attributes) == 0 ||
        attributes.map_state != IsViewable) {
        return false;
    }
    char* name = nullptr;
    bool match = false;
    if (XFetchName(display, window, &name) != 0 && name != nullptr) {
        match = title == name;
        XFree(name);
    }
    return match;
}

// Top-level client windows sit one or two levels below the root under a window manager.
Window Search(Display* display, Window window, const std::string& title, int depth) {
    if (IsShownWithTitle(display, window, title)) {
        return window;
    }
    if (depth == 0) {
        return 0;
    }
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
        return 0;
    }
    Window found = 0;
    for (unsigned i = 0; i < count && found == 0; ++i) {
        found = Search(display, children[i], title, depth - 1);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

long StatusField(const std::string& path, const char* field) {
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::strlen(field));
        }
    }
    return 0;
}

}  // namespace

unsigned long ShownWindowTitled(Display* display, const std::string& title) {
    // Windows come and go during the walk; a window gone meanwhile is simply not the one.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    return Search(display, DefaultRootWindow(display), title, 3);
}

bool IsWindowTitledShown(Display* display, const std::string& title) {
    return ShownWindowTitled(display, title) != 0;
}

long PeakRssKib(const std::vector<pid_t>& pids) {
    long sum = 0;
    for (const pid_t pid : pids) {
        sum += StatusField("/proc/" + std::to_string(pid) + "/status", "VmHWM:");
    }
    return sum;
}

long ContextSwitches(pid_t pid) {
    long sum = 0;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) {
        return 0;
    }
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string status = tasks + "/" + entry->d_name + "/status";
        sum += StatusField(status, "voluntary_ctxt_switches:");
    }
    closedir(dir);
    return sum;
}

pid_t StartProgram(const std::vector<std::string>& argv,
                   const std::vector<std::pair<std::string, std::string>>& extraEnv,
                   const std::vector<std::string>& unset) {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        env.emplace_back(*entry);
    }
    for (const std::string& name : unset) {
        std::erase_if(env, [&](const std::string& e) { return e.rfind(name + "=", 0) == 0; });
    }
    for (const auto& variable : extraEnv) {
        const std::string prefix = variable.first + "=";
        std::erase_if(env, [&](const std::string& e) { return e.rfind(prefix, 0) == 0; });
        env.push_back(prefix + variable.second);
    }
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (std::string& a : args) {
        argp.push_back(a.data());
    }
    argp.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, args[0].c_str(), nullptr, nullptr, argp.data(), envp.data()) != 0) {
        return -1;
    }
    return pid;
}

double Median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}
