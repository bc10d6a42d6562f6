// Wake-ups of the client while it sits hidden in the tray with no update running: voluntary
// context switches of all its threads over 30 s, per thread and in total, against the target of
// one a second. Needs a display: run it inside tests/gui/session.sh (scripts/bench does).
#include <X11/Xlib.h>
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>

#include "../startup/client_folder.h"
#include "../startup/process_probe.h"

namespace {

constexpr int kMeasureSeconds = 30;
constexpr char kTitle[] = "BenchIdlePage";
const char kPage[] =
    "<!DOCTYPE html><html><head><meta charset='utf-8'><title>BenchIdlePage</title></head>"
    "<body style='width:600px;height:400px'>idle</body></html>";

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

std::string ReadLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// Voluntary switches of each thread, by "tid name".
std::map<std::string, long> ThreadSwitches(pid_t pid) {
    std::map<std::string, long> result;
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    DIR* dir = opendir(tasks.c_str());
    if (dir == nullptr) {
        return result;
    }
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') {
            continue;
        }
        const std::string base = tasks + "/" + entry->d_name;
        std::ifstream status(base + "/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) {
                result[std::string(entry->d_name) + " " + ReadLine(base + "/comm")] =
                    std::atol(line.c_str() + 24);
            }
        }
    }
    closedir(dir);
    return result;
}

}  // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "bench_idle needs a display: run it in tests/gui/session.sh\n");
        return 1;
    }
    CBenchClientFolder folder(kPage);
    const pid_t client = StartProgram({folder.ClientPath(), "bench"}, folder.Environment());
    if (!WaitUntil([&] { return IsWindowTitledShown(display, kTitle); }, 60000)) {
        std::fprintf(stderr, "the client's window did not show its page\n");
        folder.ExitClient(client);
        return 1;
    }
    // Closing hides the window to the tray, as a user leaves the client.
    const std::string window = std::to_string(ShownWindowTitled(display, kTitle));
    const std::string close =
        "xdotool windowactivate --sync " + window + " && xdotool key --clearmodifiers alt+F4";
    if (std::system(close.c_str()) != 0 ||
        !WaitUntil([&] { return !IsWindowTitledShown(display, kTitle); }, 20000)) {
        std::fprintf(stderr, "the client's window did not hide\n");
        folder.ExitClient(client);
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto before = ThreadSwitches(client);
    std::this_thread::sleep_for(std::chrono::seconds(kMeasureSeconds));
    const auto after = ThreadSwitches(client);
    long total = 0;
    for (const auto& [thread, count] : after) {
        const auto it = before.find(thread);
        const long woke = count - (it != before.end() ? it->second : 0);
        total += woke;
        if (woke > 0) {
            std::printf("  thread %-28s %5ld wake-ups\n", thread.c_str(), woke);
        }
    }
    const double perSecond = static_cast<double>(total) / kMeasureSeconds;
    std::printf(
        "hidden client, no update: %ld wake-ups in %d s = %.2f/s, ratio to the target "
        "of 1/s %.2f (target <= 1.00)\n",
        total, kMeasureSeconds, perSecond, perSecond);
    folder.ExitClient(client);
    XCloseDisplay(display);
    return 0;
}
