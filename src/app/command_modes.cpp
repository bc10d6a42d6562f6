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

namespace {

constexpr wchar_t kClientIdFileName[] = L"guid.dat";

}  // namespace

void RunInstallMode() {
    const std::wstring commonDataDir = GetCommonDataDir();
    DeleteDirectoryTree(commonDataDir.c_str());
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
    DeleteDirectoryTree(GetCommonDataDir().c_str());
    std::error_code ignored;
    // Removed only when empty: another product of the vendor may keep its data there.
    std::filesystem::remove(PathFromWide(GetCommonVendorDir()), ignored);
    std::filesystem::remove(PathFromWide(GetModuleDirectory(nullptr) + kClientIdFileName), ignored);
    GetClientOptions();
    SetAutoRun(FALSE);
    DeleteUserDataDir();
}

void RunExitMode() {
    SendToRunningClient(kExitCommand);
}
