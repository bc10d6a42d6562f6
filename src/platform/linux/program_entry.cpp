// The process entry on Linux: arguments arrive as UTF-8.
#include <string>
#include <utility>
#include <vector>

#include "platform/program_entry.h"
#include "platform/text_encoding.h"

int main(int argc, char** argv) {
    std::vector<std::wstring> commandLine;
    for (int i = 0; i < argc; ++i) {
        commandLine.push_back(Utf8ToWide(argv[i]));
    }
    return ProgramMain(std::move(commandLine));
}
