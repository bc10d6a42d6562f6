// RunSongDeck: puts a verified staged update in place, then starts the client and ends.
#include <string>
#include <vector>

#include "app/environment.h"
#include "app/helpers.h"
#include "app/log.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "staged_update.h"

namespace {

constexpr wchar_t kClientName[] = L"SongDeck";
// The client refuses to start bare; this word only says who started it.
constexpr wchar_t kStartArgument[] = L"run";

bool VerifyStage(const std::wstring& stageDir) {
    WriteLog(warning, L"RunSongDeck: no stage verifier in this build; nothing is applied");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const std::wstring programDir = GetModuleDirectory(nullptr);
    const std::wstring stageDir = GetCommonDataDir() + L"update" + kPathSeparator;
    CStagedUpdate(stageDir, programDir).Apply(VerifyStage);
    SwapDeliveredLauncher(programDir);

    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(Utf8ToWide(argv[i]));
    }
    if (arguments.empty()) {
        arguments.push_back(kStartArgument);
    }
    const std::wstring client = programDir + kClientName + kExecutableSuffix;
    if (!StartDetachedProgram(client, arguments)) {
        WriteLog(warning, L"RunSongDeck: cannot start %ls", client.c_str());
        return 1;
    }
    return 0;
}
