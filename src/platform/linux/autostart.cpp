// Start at login as an XDG autostart entry: $XDG_CONFIG_HOME/autostart/<value name>.desktop,
// whose Exec line is the command.
#include "platform/autostart.h"

#include <cerrno>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

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

// The Exec value of the [Desktop Entry] group; false when the entry is missing or hidden (a
// hidden entry counts as deleted).
bool ReadExec(const fs::path& path, std::string& exec) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return false;
    }
    bool inEntry = false;
    bool found = false;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty() && line.front() == '[') {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) {
            continue;
        }
        if (line == "Hidden=true") {
            return false;
        }
        if (!found && line.rfind("Exec=", 0) == 0) {
            exec = Unescape(line.substr(5));
            found = true;
        }
    }
    return found;
}

}  // namespace

BOOL ReadAutoStartEntry(LPCWSTR valueName, LPWSTR buffer, DWORD chars) {
    if (valueName == nullptr || buffer == nullptr || chars == 0) {
        return FALSE;
    }
    std::string exec;
    if (!ReadExec(EntryPath(valueName), exec)) {
        return FALSE;
    }
    std::wstring command = Utf8ToWide(exec);
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
                       "\nExec=" + Escape(WideToUtf8(command)) +
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
