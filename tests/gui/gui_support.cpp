#include "gui_support.h"

#include <glib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/messages.h"

bool PumpUntil(std::function<bool()> cond, int timeoutMs) {
    return platform::PumpMessagesUntil(cond, static_cast<DWORD>(timeoutMs));
}

void PumpFor(int milliseconds) {
    platform::PumpMessagesUntil([] { return false; }, static_cast<DWORD>(milliseconds));
}

std::string GuiWorkDir() {
    const char* dir = std::getenv("SONGDECK_GUI_WORKDIR");
    return dir != nullptr && *dir != '\0' ? dir : "/tmp";
}

std::string RunCommand(const std::string& command, bool* ok, int timeoutMs) {
    // timeout(1) bounds the tool, so a stuck tool fails the test instead of hanging it.
    const std::string bounded =
        "timeout " + std::to_string((timeoutMs + 999) / 1000) + " " + command + " 2>/dev/null";
    std::string output;
    FILE* pipe = popen(bounded.c_str(), "r");
    if (pipe == nullptr) {
        if (ok != nullptr) {
            *ok = false;
        }
        return output;
    }
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        output.append(buffer, n);
    }
    const int status = pclose(pipe);
    if (ok != nullptr) {
        *ok = status == 0;
    }
    return output;
}

std::string TakeScreenshot(const std::string& name) {
    // Let pending drawing reach the server first.
    PumpFor(100);
    const std::string path = GuiWorkDir() + "/" + name + ".png";
    bool ok = false;
    RunCommand("import -window root '" + path + "'", &ok);
    return ok ? path : std::string();
}

namespace {

std::mutex g_warningsMutex;
std::string g_warnings;

GLogWriterOutput RecordingWriter(GLogLevelFlags level, const GLogField* fields, gsize count,
                                 gpointer) {
    if ((level & G_LOG_LEVEL_WARNING) != 0) {
        const char* domain = "";
        const char* message = "";
        for (gsize i = 0; i < count; ++i) {
            if (fields[i].length == -1 && std::strcmp(fields[i].key, "GLIB_DOMAIN") == 0) {
                domain = static_cast<const char*>(fields[i].value);
            } else if (fields[i].length == -1 && std::strcmp(fields[i].key, "MESSAGE") == 0) {
                message = static_cast<const char*>(fields[i].value);
            }
        }
        if (std::strcmp(domain, "Gtk") == 0 || std::strcmp(domain, "Gdk") == 0) {
            std::lock_guard lock(g_warningsMutex);
            g_warnings += std::string(domain) + ": " + message + "\n";
        }
    }
    return g_log_writer_default(level, fields, count, nullptr);
}

}  // namespace

void RecordGtkWarnings() {
    g_log_set_writer_func(RecordingWriter, nullptr, nullptr);
}

std::string GtkWarningsSoFar() {
    std::lock_guard lock(g_warningsMutex);
    return g_warnings;
}
