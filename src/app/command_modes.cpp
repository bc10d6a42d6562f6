// The modes the installer and the uninstaller run; each ends the process when it returns.
#include <filesystem>
#include <system_error>

#include "app/environment.h"
#include "app/helpers.h"
#include "app/main_app.h"
#include "app/running_client.h"
#include "config/client_options.h"
#include "platform/files.h"
#include "platform/process.h"
#include "update/previous_version.h"

namespace {

constexpr wchar_t kClientIdFileName[] = L"guid.dat";

// Only what the client put there goes: the user's update stage with the kept version (and, on
// uninstall, the refused versions) beside it, and the stage in the all-users folder (where earlier
// versions staged on Windows), each reached through no link: another user may have made those
// folders, or links in them, before the client did.
void RemoveUpdateStages(bool withVersionRecords) {
    const std::wstring userFolder = GetUpdateStateDir();
    for (const std::wstring& folder : {userFolder, GetCommonDataDir()}) {
        const std::filesystem::path product = PathFromWide(folder).parent_path();
        if (IsLinkEntry(product) || IsLinkEntry(product.parent_path())) {
            continue;
        }
        RemoveTreeNoLinks(product / L"update");
        if (folder == userFolder) {
            RemoveVersionRecords(withVersionRecords);
        }
    }
}

}  // namespace

void RunInstallMode() {
    const std::wstring commonDataDir = GetCommonDataDir();
    RemoveUpdateStages(false);
    // One level only: without the vendor folder this fails, as it may.
    std::error_code ignored;
    std::filesystem::create_directory(PathFromWide(commonDataDir), ignored);
    GetClientId();
    GetClientOptions();
    if (!std::filesystem::exists(PathFromWide(GetConfigIniPath()), ignored)) {
        SetAutoRun(TRUE);
    }
    // The delayed file operations of the original platform (PendingFileRenameOperations)
    // have no counterpart here: nothing can delete or replace a fresh install at reboot.
}

void RunUninstallMode() {
    // The running client saves its options and leaves before its folders go: its answer
    // comes before it has ended, and what it and its web engine's processes, which outlive it
    // for a moment, write on the way out would bring the folders back.
    if (SendToRunningClient(kExitCommand) == RunningClientAnswer::Handled) {
        WaitForRunningClientToEnd();
    }
    WaitUntilNoProcessUses(GetUserDataDir(), kRunningClientAnswerMs);
    RemoveUpdateStages(true);
    std::error_code ignored;
    // Removed only when empty (or a link, as itself): another product of the vendor, or
    // another user, may keep files there.
    std::filesystem::remove(PathFromWide(GetCommonDataDir()), ignored);
    std::filesystem::remove(PathFromWide(GetCommonVendorDir()), ignored);
    std::filesystem::remove(PathFromWide(GetModuleDirectory(nullptr) + kClientIdFileName), ignored);
    GetClientOptions();
    SetAutoRun(FALSE);
    DeleteUserDataDir();
}

void RunExitMode() {
    SendToRunningClient(kExitCommand);
}
