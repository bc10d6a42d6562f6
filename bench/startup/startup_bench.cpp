// From starting the client to its main window shown with res/main.html loaded, from starting it
// to the first navigation request reaching res/main.html (the file's first opening), and the
// peak memory of the client with its web processes, against a minimal WebKitGTK program of ours
// showing the same page in one window. The programs run in turns whose order rotates from run
// to run; --compare BUILD_DIR measures the client of another build in the same turns. Needs a
// display: run it inside tests/gui/session.sh (scripts/bench does).
#include <X11/Xlib.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
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
    double requestMs = -1;
    long peakKib = 0;
};

// Sees the first opening of a file by any process.
class CFileOpenWatch {
public:
    explicit CFileOpenWatch(const std::string& path)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (m_fd >= 0) {
            inotify_add_watch(m_fd, path.c_str(), IN_OPEN);
        }
    }
    ~CFileOpenWatch() {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    CFileOpenWatch(const CFileOpenWatch&) = delete;
    CFileOpenWatch& operator=(const CFileOpenWatch&) = delete;
    bool Opened() {
        alignas(inotify_event) char buffer[4096];
        return m_fd >= 0 && read(m_fd, buffer, sizeof buffer) > 0;
    }

private:
    int m_fd;
};

double MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// One program measured: how it starts and how it is ended.
struct Program {
    std::string name;
    std::function<pid_t()> start;
    std::function<void(pid_t)> end;
    std::string pagePath;
    std::vector<Sample> samples;
};

// Starts the program, waits for the page's window, then reads the tree's peak memory once
// the page has settled.
Sample Measure(Display* display, const Program& program) {
    Sample sample;
    CFileOpenWatch pageOpened(program.pagePath);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = program.start();
    if (pid < 0) {
        return sample;
    }
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(kShowTimeoutMs)) {
        if (sample.requestMs < 0 && pageOpened.Opened()) {
            sample.requestMs = MsSince(start);
        }
        if (IsWindowTitledShown(display, kTitle)) {
            sample.showMs = MsSince(start);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    sample.peakKib = PeakRssKib(testsupport::ProcessTree(pid));
    program.end(pid);
    return sample;
}

double MedianOf(const std::vector<Sample>& samples, double Sample::*field) {
    std::vector<double> values;
    for (const Sample& sample : samples) {
        values.push_back(sample.*field);
    }
    return Median(values);
}

double MedianKib(const std::vector<Sample>& samples) {
    std::vector<double> values;
    for (const Sample& sample : samples) {
        values.push_back(static_cast<double>(sample.peakKib));
    }
    return Median(values);
}

std::string ListOf(const std::vector<Sample>& samples, double Sample::*field) {
    std::string text;
    for (const Sample& sample : samples) {
        text += (text.empty() ? "" : " ") + std::to_string(static_cast<long>(sample.*field + 0.5));
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--reference") == 0) {
        return RunMinimalWebWindow(1, argv, argv[2]);
    }
    std::string compareBuild;
    if (argc >= 3 && std::strcmp(argv[1], "--compare") == 0) {
        compareBuild = argv[2];
    }
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "bench_startup needs a display: run it in tests/gui/session.sh\n");
        return 1;
    }
    CBenchClientFolder folder(kPage);
    std::unique_ptr<CBenchClientFolder> other;
    const std::string self = BenchExecutableDir() + "/bench_startup";
    std::vector<Program> programs;
    programs.push_back(
        {"minimal WebKitGTK window",
         [&] {
             return StartProgram({self, "--reference", folder.PagePath()}, folder.Environment());
         },
         [](pid_t pid) {
             kill(pid, SIGTERM);
             WaitForProcess(pid, 20000);
         },
         folder.PagePath(),
         {}});
    programs.push_back({"client",
                        [&] { return folder.StartClient(); },
                        [&](pid_t pid) { folder.ExitClient(pid); },
                        folder.PagePath(),
                        {}});
    if (!compareBuild.empty()) {
        other = std::make_unique<CBenchClientFolder>(kPage, compareBuild);
        programs.push_back({"client of " + compareBuild,
                            [&] { return other->StartClient(); },
                            [&](pid_t pid) { other->ExitClient(pid); },
                            other->PagePath(),
                            {}});
    }
    for (int run = 0; run < kRuns; ++run) {
        // Each program goes first in turn, so none always meets a machine still busy with the
        // last one.
        for (size_t turn = 0; turn < programs.size(); ++turn) {
            Program& program = programs[(run + turn) % programs.size()];
            const Sample sample = Measure(display, program);
            if (sample.showMs < 0) {
                std::fprintf(stderr, "run %d: %s did not show its page in time\n", run,
                             program.name.c_str());
                return 1;
            }
            program.samples.push_back(sample);
            // Leave the web processes of the last program time to go.
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
        }
    }
    const Program& reference = programs[0];
    const double rMs = MedianOf(reference.samples, &Sample::showMs);
    const double rRequest = MedianOf(reference.samples, &Sample::requestMs);
    const double rKib = MedianKib(reference.samples);
    for (size_t i = 1; i < programs.size(); ++i) {
        const Program& client = programs[i];
        const double cMs = MedianOf(client.samples, &Sample::showMs);
        const double cRequest = MedianOf(client.samples, &Sample::requestMs);
        const double cKib = MedianKib(client.samples);
        std::printf("%s:\n", client.name.c_str());
        std::printf(
            "  start to page shown (median of %d): %.0f ms, minimal WebKitGTK window %.0f ms,"
            " ratio %.2f (target <= 1.00)\n",
            kRuns, cMs, rMs, cMs / rMs);
        std::printf(
            "  start to first navigation request (median): %.0f ms, minimal %.0f ms, ratio %.2f\n",
            cRequest, rRequest, cRequest / rRequest);
        std::printf(
            "  peak RSS with web processes (median): %.1f MiB, minimal %.1f MiB,"
            " ratio %.2f (target <= 1.05)\n",
            cKib / 1024, rKib / 1024, cKib / rKib);
    }
    // The minimal window takes WebKit's default, compositing even where only software GL does it.
    if (folder.LogHolds("pages painted without compositing")) {
        std::printf(
            "no GPU render node here: the client paints pages directly, the minimal window "
            "composites them in software\n");
    }
    for (const Program& program : programs) {
        std::printf("runs of %s: shown %s ms; first request %s ms\n", program.name.c_str(),
                    ListOf(program.samples, &Sample::showMs).c_str(),
                    ListOf(program.samples, &Sample::requestMs).c_str());
    }
    XCloseDisplay(display);
    return 0;
}
