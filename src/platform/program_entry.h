// A program's own entry. The platform's entry point (main, or wWinMain on Windows) calls it with
// the command line's words as wide text, the program's path first.
#pragma once

#include <string>
#include <vector>

int ProgramMain(std::vector<std::wstring> commandLine);
