#include "app/update_channel.h"

#include <filesystem>

#include "app/helpers.h"
#include "platform/files.h"
#include "platform/folder_access.h"

namespace {

constexpr wchar_t kPackageMarker[] = L"package-managed";

bool IsPackageManaged() {
    std::error_code error;
    return std::filesystem::exists(PathFromWide(GetModuleDirectory(nullptr) + kPackageMarker),
                                   error);
}

}  // namespace

bool IsSelfUpdateAllowed() {
    return !IsPackageManaged() && CanReplaceFilesIn(GetModuleDirectory(nullptr));
}

std::wstring GetUpdateChannelText() {
    if (IsPackageManaged()) {
        return L"Updates of this installation arrive through the system's package manager.";
    }
    if (!CanReplaceFilesIn(GetModuleDirectory(nullptr))) {
        return L"This installation cannot update itself: its program folder is not yours to "
               L"change. Updates arrive with a new installation.";
    }
    return L"SongDeck updates itself: a new version is downloaded in the background and put in "
           L"place when the client restarts.";
}
