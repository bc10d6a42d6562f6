// RunSongDeck: puts a verified staged update in place, then starts the client and ends.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/environment.h"
#include "app/helpers.h"
#include "app/log.h"
#include "app/running_client.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/module.h"
#include "platform/process.h"
#include "platform/program_entry.h"
#include "platform/single_instance.h"
#include "staged_update.h"
#include "update/manifest_files.h"
#include "update/staged_update.h"
#include "update/update_files.h"

namespace {

constexpr wchar_t kClientName[] = L"SongDeck";
// The client refuses to start bare; this word only says who started it.
constexpr wchar_t kStartArgument[] = L"run";
// A client that restarts through the launcher is still ending when the launcher starts.
constexpr auto kClientEndWait = std::chrono::seconds(5);

LONGLONG InstalledVersion(const std::wstring& client) {
    std::wstring version;
    return ReadModuleVersionStamp(client, version) ? VersionNumberFromText(version) : 0;
}

// Files are replaced only while no client runs; holding the client's place meanwhile keeps
// one from starting half-way.
bool WaitForClientToEnd(platform::SingleInstance& place) {
    const auto deadline = std::chrono::steady_clock::now() + kClientEndWait;
    while (!place.TryBecomePrimary([](const std::string&) {})) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return true;
}

void ApplyStagedUpdate(const std::wstring& programDir, const std::wstring& client) {
    const std::wstring stageDir = GetCommonDataDir() + L"update" + kPathSeparator;
    if (!FileExists(stageDir + kStagedManifestName)) {
        return;
    }
    platform::SingleInstance place(kMainWndClassName);
    if (!WaitForClientToEnd(place)) {
        WriteLog(info, L"RunSongDeck: the client runs; the staged update waits for its end");
        return;
    }
    const LONGLONG version = InstalledVersion(client);
    CStagedUpdate stage(stageDir, programDir);
    stage.Apply([version](const std::wstring& dir, std::vector<ManifestFile>& files) {
        const StagedUpdateCheck check = VerifyStagedUpdate(dir, version, &files);
        if (check != StagedUpdateCheck::Valid) {
            WriteLog(warning, L"RunSongDeck: staged update refused (check %d)",
                     static_cast<int>(check));
        }
        return check == StagedUpdateCheck::Valid;
    });
}

}  // namespace

int ProgramMain(std::vector<std::wstring> commandLine) {
    const std::wstring programDir = GetModuleDirectory(nullptr);
    const std::wstring client = programDir + kClientName + kExecutableSuffix;
    ApplyStagedUpdate(programDir, client);

    std::vector<std::wstring> arguments;
    if (!commandLine.empty()) {
        arguments.assign(commandLine.begin() + 1, commandLine.end());
    }
    if (arguments.empty()) {
        arguments.push_back(kStartArgument);
    }
    // A client that runs already is restored by the one started here.
    if (!StartDetachedProgram(client, arguments)) {
        WriteLog(warning, L"RunSongDeck: cannot start %ls", client.c_str());
        return 1;
    }
    return 0;
}
