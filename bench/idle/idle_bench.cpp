// Wake-ups of the client while it sits hidden in the tray with no update running: voluntary
// context switches of each of its threads over 30 s, from 3 s after hiding (--settle SECONDS:
// from that long after) and again from 65 s after, when the web engine's one-time work for a
// hidden page (dropping its backing store, the first responsiveness checks) is behind it; of
// its main thread, of all its threads, and of its web processes. The main thread runs the
// client's own work, and the engine's and the accessibility bridge's timers; the other threads
// are theirs and GLib's. --compare BUILD_DIR measures the client of another build after it.
// Needs a display: run it inside tests/gui/session.sh (scripts/bench does).
#include <X11/Xlib.h>
#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "../startup/client_folder.h"
#include "../startup/process_probe.h"

namespace {

constexpr int kMeasureSeconds = 30;
// From when the engine's one-time work for a hidden page is done.
constexpr int kSettledSeconds = 65;
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

// Wake-ups of the process's threads while it sleeps, and of its descendants in all.
struct Wakeups {
    long main = 0;
    long all = 0;
    long webProcesses = 0;
};

// Voluntary switches of each thread of the client's descendants (its web processes).
std::map<std::string, long> DescendantThreadSwitches(pid_t client) {
    std::map<std::string, long> result;
    for (const pid_t pid : testsupport::ProcessTree(client)) {
        if (pid != client) {
            result.merge(ThreadSwitches(pid));
        }
    }
    return result;
}

// What the threads alive at both readings did between them.
long WakeupsBetween(const std::map<std::string, long>& before,
                    const std::map<std::string, long>& after) {
    long sum = 0;
    for (const auto& [thread, count] : after) {
        const auto it = before.find(thread);
        sum += it != before.end() ? count - it->second : 0;
    }
    return sum;
}

// What wakes between two readings, thread by thread, into wakeups (the main thread is the
// client's pid); each thread that woke is printed.
void CountWakeups(pid_t client, const std::map<std::string, long>& before,
                  const std::map<std::string, long>& after, Wakeups* wakeups) {
    const std::string mainThread = std::to_string(client) + " ";
    for (const auto& [thread, count] : after) {
        const auto it = before.find(thread);
        const long woke = count - (it != before.end() ? it->second : 0);
        wakeups->all += woke;
        if (thread.rfind(mainThread, 0) == 0) {
            wakeups->main = woke;
        }
        if (woke > 0) {
            std::printf("  thread %-28s %5ld wake-ups\n", thread.c_str(), woke);
        }
    }
}

void Report(const std::string& name, int settleSeconds, const Wakeups& wakeups) {
    std::printf(
        "%s, hidden %d s before, no update: main thread %ld wake-ups in %d s (target 0); all its "
        "threads %ld = %.2f/s (target <= 0.30); its web processes %ld = %.2f/s\n",
        name.c_str(), settleSeconds, wakeups.main, kMeasureSeconds, wakeups.all,
        static_cast<double>(wakeups.all) / kMeasureSeconds, wakeups.webProcesses,
        static_cast<double>(wakeups.webProcesses) / kMeasureSeconds);
}

// Runs the client of the folder, hides its window and counts what wakes while it is hidden,
// over 30 s from each of the given times after hiding (ascending); false when the client could
// not be brought there.
bool MeasureHidden(Display* display, const CBenchClientFolder& folder, const std::string& name,
                   const std::vector<int>& windowStarts) {
    const pid_t client = folder.StartClient();
    if (!WaitUntil([&] { return IsWindowTitledShown(display, kTitle); }, 60000)) {
        std::fprintf(stderr, "the client's window did not show its page\n");
        folder.ExitClient(client);
        return false;
    }
    // Closing hides the window to the tray, as a user leaves the client.
    const std::string window = std::to_string(ShownWindowTitled(display, kTitle));
    const std::string close =
        "xdotool windowactivate --sync " + window + " && xdotool key --clearmodifiers alt+F4";
    if (std::system(close.c_str()) != 0 ||
        !WaitUntil([&] { return !IsWindowTitledShown(display, kTitle); }, 20000)) {
        std::fprintf(stderr, "the client's window did not hide\n");
        folder.ExitClient(client);
        return false;
    }
    const auto hidden = std::chrono::steady_clock::now();
    for (const int start : windowStarts) {
        std::this_thread::sleep_until(hidden + std::chrono::seconds(start));
        const auto before = ThreadSwitches(client);
        const auto webBefore = DescendantThreadSwitches(client);
        std::this_thread::sleep_for(std::chrono::seconds(kMeasureSeconds));
        Wakeups wakeups;
        CountWakeups(client, before, ThreadSwitches(client), &wakeups);
        wakeups.webProcesses = WakeupsBetween(webBefore, DescendantThreadSwitches(client));
        Report(name, start, wakeups);
    }
    folder.ExitClient(client);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int settleSeconds = 3;
    std::string compareBuild;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--settle") == 0) {
            settleSeconds = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--compare") == 0) {
            compareBuild = argv[i + 1];
        }
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "bench_idle needs a display: run it in tests/gui/session.sh\n");
        return 1;
    }
    std::vector<std::pair<std::string, std::string>> builds{{"client", ""}};
    if (!compareBuild.empty()) {
        builds.emplace_back("client of " + compareBuild, compareBuild);
    }
    // A later start that --settle asks for is measured alone.
    std::vector<int> windowStarts{settleSeconds};
    if (settleSeconds + kMeasureSeconds <= kSettledSeconds) {
        windowStarts.push_back(kSettledSeconds);
    }
    for (const auto& [name, build] : builds) {
        CBenchClientFolder folder(kPage, build);
        std::printf("%s:\n", name.c_str());
        if (!MeasureHidden(display, folder, name, windowStarts)) {
            return 1;
        }
    }
    XCloseDisplay(display);
    return 0;
}
