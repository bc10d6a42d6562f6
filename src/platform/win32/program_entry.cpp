// The process entry on Windows: a GUI-subsystem program entered at wWinMain (-municode), whose
// command line is split by the shell's rules.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/program_entry.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    std::vector<std::wstring> commandLine;
    int count = 0;
    if (LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) {
            commandLine.emplace_back(words[i]);
        }
        LocalFree(words);
    }
    return ProgramMain(std::move(commandLine));
}
