// Start at login as an XDG autostart entry: $XDG_CONFIG_HOME/autostart/<value name>.desktop,
// whose Exec line runs the command's program with its arguments, quoted as desktop entries
// want, and is read back into the command's own form.
#include "platform/autostart.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "platform/files.h"
#include "platform/text_encoding.h"

namespace fs = std::filesystem;

namespace {

fs::path AutoStartFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    if (config != nullptr && config[0] == '/') {
        return fs::path(config) / "autostart";
    }
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "") / ".config" / "autostart";
}

fs::path EntryPath(LPCWSTR valueName) {
    return AutoStartFolder() / (WideToUtf8(valueName) + ".desktop");
}

// Desktop-entry string values escape backslashes and control characters.
std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        char next = text[++i];
        out += next == 's'   ? ' '
               : next == 'n' ? '\n'
               : next == 't' ? '\t'
               : next == 'r' ? '\r'
                             : next;
    }
    return out;
}

// The program and arguments of the command line the system builds: "<program>" <arguments>.
// The program's folder may hold any character, '"' among them, so the program ends at the last
// '"' after which only unquoted arguments follow.
std::vector<std::string> SplitCommand(const std::string& command) {
    std::vector<std::string> argv;
    size_t rest = 0;
    if (!command.empty() && command[0] == '"') {
        size_t close = command.size();
        while (close > 1) {
            close = command.rfind('"', close - 1);
            if (close == std::string::npos || close == 0) {
                break;
            }
            if (close + 1 == command.size() || command[close + 1] == ' ') {
                argv.push_back(command.substr(1, close - 1));
                rest = close + 1;
                break;
            }
        }
    }
    size_t i = rest;
    while (i < command.size()) {
        size_t start = command.find_first_not_of(' ', i);
        if (start == std::string::npos) {
            break;
        }
        size_t end = command.find(' ', start);
        argv.push_back(command.substr(start, end == std::string::npos ? end : end - start));
        i = end == std::string::npos ? command.size() : end;
    }
    return argv;
}

// GLib looks for the program before it turns "%%" into '%', so a program whose path holds a '%'
// is started through the shell, which takes the path as an ordinary argument ($0).
const std::vector<std::string> kStarter = {"sh", "-c", "exec \"$0\" \"$@\""};

std::string JoinCommand(std::vector<std::string> argv) {
    if (argv.size() > kStarter.size() &&
        std::equal(kStarter.begin(), kStarter.end(), argv.begin())) {
        argv.erase(argv.begin(), argv.begin() + static_cast<std::ptrdiff_t>(kStarter.size()));
    }
    std::string command;
    for (size_t i = 0; i < argv.size(); ++i) {
        command += i == 0 ? "\"" + argv[i] + "\"" : " " + argv[i];
    }
    return command;
}

// The Exec value by the desktop-entry rules: an argument with a reserved character is quoted,
// and inside quotes '"', '`', '$' and '\' take a backslash; a literal '%' is "%%". The string
// escapes (Escape) come on top when the line is written.
std::string ExecValue(std::vector<std::string> argv) {
    static const std::string kReserved = " \t\n\"'\\><~|&;$*?#()`=";
    if (!argv.empty() && argv[0].find('%') != std::string::npos) {
        argv.insert(argv.begin(), kStarter.begin(), kStarter.end());
    }
    std::string exec;
    for (const std::string& arg : argv) {
        std::string quoted;
        // The program is always quoted, as the command line has it.
        bool quote =
            exec.empty() || arg.empty() || arg.find_first_of(kReserved) != std::string::npos;
        for (char c : arg) {
            if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) {
                quoted += '\\';
            }
            quoted += c == '%' ? "%%" : std::string(1, c);
        }
        exec += (exec.empty() ? "" : " ") + (quote ? "\"" + quoted + "\"" : quoted);
    }
    return exec;
}

// The arguments of an Exec value (string escapes already undone); false when its quotes do not
// close or it holds a field code, which a launcher would replace.
bool ParseExec(const std::string& exec, std::vector<std::string>& argv) {
    argv.clear();
    size_t i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ' || exec[i] == '\t') {
            ++i;
            continue;
        }
        std::string arg;
        bool quoted = exec[i] == '"';
        if (quoted) {
            ++i;
        }
        bool closed = !quoted;
        for (; i < exec.size(); ++i) {
            char c = exec[i];
            if (quoted && c == '"') {
                closed = true;
                ++i;
                break;
            }
            if (!quoted && (c == ' ' || c == '\t')) {
                break;
            }
            if (quoted && c == '\\' && i + 1 < exec.size()) {
                c = exec[++i];
            } else if (c == '%') {
                if (i + 1 >= exec.size() || exec[i + 1] != '%') {
                    return false;
                }
                ++i;
            }
            arg += c;
        }
        if (!closed) {
            return false;
        }
        argv.push_back(arg);
    }
    return !argv.empty();
}

std::string Trimmed(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// The command of the [Desktop Entry] group; false when the entry is missing, hidden or
// disabled (both count as deleted), or its Exec line would not start the program.
bool ReadCommand(const fs::path& path, std::string& command) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bool inEntry = false;
    bool found = false;
    std::string exec;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        size_t equals = line.find('=');
        if (!inEntry || equals == std::string::npos) {
            continue;
        }
        std::string key = Trimmed(line.substr(0, equals));
        std::string value = Trimmed(line.substr(equals + 1));
        if ((key == "Hidden" && value == "true") ||
            (key == "X-GNOME-Autostart-enabled" && value == "false")) {
            return false;
        }
        if (!found && key == "Exec") {
            exec = Unescape(value);
            found = true;
        }
    }
    std::vector<std::string> argv;
    if (!found || !ParseExec(exec, argv)) {
        return false;
    }
    command = JoinCommand(argv);
    return true;
}

}  // namespace

BOOL ReadAutoStartEntry(LPCWSTR valueName, LPWSTR buffer, DWORD chars) {
    if (valueName == nullptr || buffer == nullptr || chars == 0) {
        return FALSE;
    }
    std::string text;
    if (!ReadCommand(EntryPath(valueName), text)) {
        return FALSE;
    }
    std::wstring command = Utf8ToWide(text);
    if (command.size() + 1 > chars) {
        return FALSE;
    }
    std::wmemcpy(buffer, command.c_str(), command.size() + 1);
    return TRUE;
}

BOOL WriteAutoStartEntry(LPCWSTR valueName, LPCWSTR command) {
    if (valueName == nullptr || command == nullptr) {
        return FALSE;
    }
    std::error_code error;
    fs::create_directories(AutoStartFolder(), error);
    std::string name = WideToUtf8(valueName);
    std::string text = "[Desktop Entry]\nType=Application\nName=" + Escape(name) +
                       "\nExec=" + Escape(ExecValue(SplitCommand(WideToUtf8(command)))) +
                       "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    return ReplaceFileAtomically(EntryPath(valueName), text.data(), text.size());
}

BOOL DeleteAutoStartEntry(LPCWSTR valueName) {
    if (valueName == nullptr) {
        return FALSE;
    }
    std::error_code error;
    return fs::remove(EntryPath(valueName), error) ? TRUE : FALSE;
}
