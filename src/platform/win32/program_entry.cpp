// The process entry on Windows: a GUI-subsystem program entered at wWinMain (-municode), whose
// command line is split by the shell's rules.
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/program_entry.h"

namespace {

// DLLs loaded from here on (the delay-loaded system libraries among them) come from System32
// only, never from the program's folder, where a planted one would run as the user. Looked up
// by name: Windows 7 without its update KB2533623 lacks the function.
void LoadLibrariesFromSystem32Only() {
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto set = reinterpret_cast<SetDirectories>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    if (set != nullptr) {
        set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    LoadLibrariesFromSystem32Only();
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
