// A client stand-in for the single-instance tests: takes the running client's place as the
// client does, or sends to it, and appends what happened to a log file (one line per event,
// written whole in append mode, so several probes may share one log).
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "app/running_client.h"
#include "platform/messages.h"
#include "platform/shell_execute.h"
#include "platform/single_instance.h"

namespace {

std::string g_log;

void Log(const std::string& line) {
    const std::string text = line + "\n";
#ifdef _WIN32
    HANDLE file = CreateFileA(g_log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
#else
    const int fd = open(g_log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) {
        (void)!write(fd, text.data(), text.size());
        close(fd);
    }
#endif
}

unsigned long ThisProcess() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(getpid());
#endif
}

const char* NameOf(platform::SingleInstance::SendResult result) {
    switch (result) {
        case platform::SingleInstance::SendResult::Handled:
            return "Handled";
        case platform::SingleInstance::SendResult::NoPrimary:
            return "NoPrimary";
        default:
            return "NoAnswer";
    }
}

std::wstring Wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

}  // namespace

// instance_probe start <name> <log>: primary, or "restore" sent to the primary.
// instance_probe start-ending <name> <log>: as start, but a primary that is ending: it ends
// 300 ms after its first command, which it never answers.
// instance_probe send <name> <command> <log>: the command sent, the result logged.
// instance_probe open-url <url>: exit code 0 when a browser was started for the URL.
int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
#ifndef _WIN32
    if (mode == "open-url" && argc == 3) {
        return platform::OpenUrlInBrowser(Wide(argv[2])) ? 0 : 1;
    }
#endif
    if (mode == "send" && argc == 5) {
        g_log = argv[4];
        Log(std::string("sent ") + argv[3] + " " +
            NameOf(platform::SingleInstance::SendToPrimary(Wide(argv[2]), argv[3], 5000)));
        return 0;
    }
    if ((mode != "start" && mode != "start-ending") || argc != 4) {
        return 2;
    }
    g_log = argv[3];
    const bool ending = mode == "start-ending";
    platform::InitUiThread();
    platform::SingleInstance instance(Wide(argv[2]));
    const RunningClientPlace place =
        TakeRunningClientPlace(instance, [ending](const std::string& command) {
            Log("got " + command);
            if (ending) {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                std::_Exit(0);
            }
            if (command == "exit") {
                PostQuitMessage(0);
            }
        });
    if (place != RunningClientPlace::Taken) {
        Log(place == RunningClientPlace::HandedOver ? "secondary" : "refused");
        return 0;
    }
    Log("primary " + std::to_string(ThisProcess()));
    return platform::RunMessageLoop();
}
