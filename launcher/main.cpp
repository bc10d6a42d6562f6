// RunSongDeck: puts a verified staged update in place, then starts the client and ends.
#include <chrono>
#include <cstdlib>
#include <filesystem>
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
#include "kept_version.h"
#include "staged_update.h"
#include "update/manifest_files.h"
#include "update/previous_version.h"
#include "update/staged_update.h"
#include "update/update_files.h"
#include "update/xml_document.h"

namespace {

constexpr wchar_t kClientName[] = L"SongDeck";
// The client refuses to start bare; this word only says who started it.
constexpr wchar_t kStartArgument[] = L"run";
// A client that restarts through the launcher is still ending when the launcher starts.
constexpr auto kClientEndWait = std::chrono::seconds(5);
// A client that restarts has ended its loop; what remains is its process's own end.
constexpr DWORD kClientProcessEndWaitMs = 10000;
// How long a new version has to show its first page (or finish its mode) before it is refused.
constexpr auto kStartWordWait = std::chrono::seconds(60);

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

// What the launcher found and did before it starts the client.
enum class Update {
    kNone,     // the installed version has proven itself (or no update came)
    kOnTrial,  // a kept version waits for the installed one to prove itself
};

std::wstring StageDir() {
    return GetUpdateDir();
}

bool HasWorkToDo() {
    const std::wstring stageDir = StageDir();
    std::error_code error;
    return FileExists(stageDir + kStagedManifestName) ||
           FileExists(stageDir + kAppliedManifestName) ||
           std::filesystem::exists(PathFromWide(PreviousVersionDir()), error);
}

// refuse: the installed version failed to start, rather than an apply that could not finish.
// False when the kept version can never go back: it is dropped, and a stage may be applied.
bool RollBack(const CKeptVersion& kept, bool refuse) {
    LONGLONG refused = 0;
    switch (kept.RollBack(refuse, refused)) {
        case CKeptVersion::RollBackResult::kRetry:
            WriteLog(warning, L"RunSongDeck: the previous version could not be put back yet");
            return true;
        case CKeptVersion::RollBackResult::kUnusable:
            WriteLog(warning,
                     L"RunSongDeck: the previous version cannot be put back; it is "
                     L"dropped and the installed version stays");
            kept.Remove();
            return false;
        case CKeptVersion::RollBackResult::kBack:
            break;
    }
    // Recorded before the kept version goes, so that a stop between them refuses it still.
    if (refused > 0) {
        RecordRefusedVersion(refused);
    }
    kept.Remove();
    if (refused > 0) {
        WriteLog(warning, L"RunSongDeck: version %I64d did not start; the previous version is back",
                 refused);
    } else {
        WriteLog(warning,
                 L"RunSongDeck: the update could not be completed; the previous "
                 L"version is back and the stage waits for the next start");
    }
    return true;
}

Update UpdateProgramFolder(const std::wstring& programDir, const std::wstring& client) {
    CKeptVersion kept(PreviousVersionDir(), programDir);
    // The installed version has proven itself: its predecessor goes without touching a program
    // file, so no running client is waited for.
    if (kept.IsProven() && !kept.IsRollingBack()) {
        kept.Remove();
    }
    if (!HasWorkToDo()) {
        return Update::kNone;
    }
    platform::SingleInstance place(kMainWndClassName);
    if (!WaitForClientToEnd(place)) {
        WriteLog(info, L"RunSongDeck: the client runs; the staged update waits for its end");
        return Update::kNone;
    }
    const std::wstring stageDir = StageDir();
    CStagedUpdate stage(stageDir, programDir);
    stage.FinishEmptying();
    if (kept.IsRollingBack() && kept.IsKept() && RollBack(kept, true)) {
        return Update::kNone;
    }
    if (kept.IsProven() || !kept.IsKept()) {
        kept.Remove();
    }
    const LONGLONG version = InstalledVersion(client);
    StagedUpdateCheck check = StagedUpdateCheck::Valid;
    LONGLONG staged = 0;
    const StageResult applied = stage.Apply(
        [version, &check, &staged](const std::wstring& dir, std::vector<ManifestFile>& files) {
            check = VerifyStagedUpdate(dir, version, &files, &staged);
            if (check == StagedUpdateCheck::OlderVersion) {
                WriteLog(warning,
                         L"RunSongDeck: staged version %I64d is older than the installed %I64d",
                         staged, version);
            } else if (check != StagedUpdateCheck::Valid) {
                WriteLog(warning, L"RunSongDeck: staged update refused (check %d)",
                         static_cast<int>(check));
            }
            return check == StagedUpdateCheck::Valid;
        },
        [&](const std::vector<ManifestFile>& files) {
            // A kept version is the one before an apply that was stopped part-way.
            return kept.IsKept() || kept.Keep(files, staged);
        });
    // An older release is never wanted again, however it came to be staged.
    if (check == StagedUpdateCheck::OlderVersion) {
        stage.Drop();
    }
    // A file the program folder would not take (one in use) leaves a mix: the kept version
    // goes back, and the stage stays for the next start.
    if (applied == StageResult::kFailed && kept.IsKept()) {
        RollBack(kept, false);
        return Update::kNone;
    }
    return kept.IsKept() ? Update::kOnTrial : Update::kNone;
}

// The bound on a new version's start; tests shorten it.
std::chrono::seconds StartWordWait() {
    const char* text = std::getenv("SONGDECK_START_WAIT_SECONDS");
    const long seconds = text != nullptr ? std::strtol(text, nullptr, 10) : 0;
    return seconds > 0 && seconds < kStartWordWait.count() ? std::chrono::seconds(seconds)
                                                           : kStartWordWait;
}

// Starts the installed version on trial: true once it gave its word that it started; a
// client that ends before its word or gives none in time is ended and false returned.
bool StartsOnTrial(const std::wstring& client, const std::vector<std::wstring>& arguments) {
    const std::wstring word = PreviousVersionDir() + kStartedWordName;
    CWatchedProgram program;
    if (!program.Start(client, arguments)) {
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + StartWordWait();
    while (!FileExists(word)) {
        if (program.HasEnded()) {
            // A mode gives its word just before it ends.
            return FileExists(word);
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            WriteLog(warning, L"RunSongDeck: the new version gave no word of its start in time");
            program.End();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// After a failed trial: the kept version goes back while no client runs.
void RollBackAfterTrial(const std::wstring& programDir) {
    platform::SingleInstance place(kMainWndClassName);
    if (!WaitForClientToEnd(place)) {
        WriteLog(warning, L"RunSongDeck: a client runs; the previous version goes back later");
        return;
    }
    RollBack(CKeptVersion(PreviousVersionDir(), programDir), true);
}

}  // namespace

int ProgramMain(std::vector<std::wstring> commandLine) {
    const std::wstring programDir = GetModuleDirectory(nullptr);
    const std::wstring client = programDir + kClientName + kExecutableSuffix;
    std::vector<std::wstring> arguments;
    if (!commandLine.empty()) {
        arguments.assign(commandLine.begin() + 1, commandLine.end());
    }
    if (arguments.size() >= 2 && arguments[0] == kAfterClientArgument) {
        const LONGLONG id = ParseInt64(arguments[1]);
        if (id > 0 && !WaitForProcessEnd(static_cast<DWORD>(id), kClientProcessEndWaitMs)) {
            WriteLog(warning, L"RunSongDeck: the client that restarts did not end in time");
        }
        arguments.erase(arguments.begin(), arguments.begin() + 2);
    }
    const Update update = UpdateProgramFolder(programDir, client);

    if (arguments.empty()) {
        arguments.push_back(kStartArgument);
    }
    if (update == Update::kOnTrial) {
        if (StartsOnTrial(client, arguments)) {
            WriteLog(info, L"RunSongDeck: the new version started");
            return 0;
        }
        RollBackAfterTrial(programDir);
    }
    // A client that runs already is restored by the one started here.
    if (!StartDetachedProgram(client, arguments)) {
        WriteLog(warning, L"RunSongDeck: cannot start %ls", client.c_str());
        return 1;
    }
    return 0;
}
