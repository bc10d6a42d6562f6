// From starting the client to its main window shown with res/main.html loaded, and the peak
// memory of the client with its web processes, against a minimal WebKitGTK program of ours
// showing the same page in one window, measured alternately in the same run. Needs a display:
// run it inside tests/gui/session.sh (scripts/bench does).
#include <X11/Xlib.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "client_folder.h"
#include "minimal_web_window.h"
#include "process_probe.h"

namespace {

constexpr int kRuns = 5;
constexpr int kShowTimeoutMs = 60000;
constexpr char kTitle[] = "BenchStartPage";
const char kPage[] =
    "<!DOCTYPE html><html><head><meta charset='utf-8'><title>BenchStartPage</title>"
    "<style>body{font-family:sans-serif;background:#1a202c;color:#e2e8f0}"
    "li{padding:6px}</style></head>"
    "<body style='width:760px;height:540px;margin:0'><h1>Quorvi</h1><ul>"
    "<li>Song one</li><li>Song two</li><li>Song three</li><li>Song four</li></ul>"
    "</body></html>";

struct Sample {
    double showMs = -1;
    long peakKib = 0;
};

// Starts the program, waits for the page's window, then reads the tree's peak memory once
// the page has settled.
template <typename End>
Sample Measure(Display* display, const std::vector<std::string>& argv,
               const std::vector<std::pair<std::string, std::string>>& env, End end) {
    Sample sample;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = StartProgram(argv, env);
    if (pid < 0) {
        return sample;
    }
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kShowTimeoutMs)) {
        if (IsWindowTitledShown(display, kTitle)) {
            sample.showMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    sample.peakKib = PeakRssKib(ProcessTree(pid));
    end(pid);
    return sample;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--reference") == 0) {
        return RunMinimalWebWindow(1, argv, argv[2]);
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "bench_startup needs a display: run it in tests/gui/session.sh\n");
        return 1;
    }
    CBenchClientFolder folder(kPage);
    const std::string self = BenchExecutableDir() + "/bench_startup";
    std::vector<double> clientMs, referenceMs, clientKib, referenceKib;
    for (int run = 0; run < kRuns; ++run) {
        const Sample reference = Measure(display, {self, "--reference", folder.PagePath()},
                                         folder.Environment(), [](pid_t pid) {
                                             kill(pid, SIGTERM);
                                             WaitForProcess(pid, 20000);
                                         });
        const Sample client = Measure(display, {folder.ClientPath(), "bench"}, folder.Environment(),
                                      [&](pid_t pid) { folder.ExitClient(pid); });
        if (reference.showMs < 0 || client.showMs < 0) {
            std::fprintf(stderr, "run %d: a window did not show its page in time\n", run);
            return 1;
        }
        referenceMs.push_back(reference.showMs);
        clientMs.push_back(client.showMs);
        referenceKib.push_back(static_cast<double>(reference.peakKib));
        clientKib.push_back(static_cast<double>(client.peakKib));
        // Leave the web processes of the last run time to go.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    const double cMs = Median(clientMs), rMs = Median(referenceMs);
    const double cKib = Median(clientKib), rKib = Median(referenceKib);
    std::printf(
        "start to page shown (median of %d): client %.0f ms, minimal WebKitGTK window %.0f ms,"
        " ratio %.2f (target <= 1.20)\n",
        kRuns, cMs, rMs, cMs / rMs);
    std::printf(
        "peak RSS with web processes (median): client %.1f MiB, minimal %.1f MiB,"
        " ratio %.2f (target <= 1.20)\n",
        cKib / 1024, rKib / 1024, cKib / rKib);
    XCloseDisplay(display);
    return 0;
}
