#include "app/update_channel.h"

#include <filesystem>

#include "app/helpers.h"
#include "platform/files.h"
#include "platform/folder_access.h"

namespace {

constexpr wchar_t kPackageMarker[] = L"package-managed";

}  // namespace

UpdateChannel GetUpdateChannel() {
    const std::wstring programDir = GetModuleDirectory(nullptr);
    std::error_code error;
    if (std::filesystem::exists(PathFromWide(programDir + kPackageMarker), error)) {
        return UpdateChannel::kPackageManager;
    }
    return CanReplaceFilesIn(programDir) ? UpdateChannel::kSelfUpdate
                                         : UpdateChannel::kReadOnlyFolder;
}

bool IsSelfUpdateAllowed() {
    return GetUpdateChannel() == UpdateChannel::kSelfUpdate;
}

std::wstring GetUpdateChannelName() {
    switch (GetUpdateChannel()) {
        case UpdateChannel::kPackageManager:
            return L"package";
        case UpdateChannel::kReadOnlyFolder:
            return L"readonly";
        case UpdateChannel::kSelfUpdate:
            break;
    }
    return L"self";
}

std::wstring GetUpdateChannelText() {
    switch (GetUpdateChannel()) {
        case UpdateChannel::kPackageManager:
            return L"Updates of this installation arrive through the system's package manager.";
        case UpdateChannel::kReadOnlyFolder:
            return L"This installation cannot update itself: its program folder is not the "
                   L"user's to change. Updates arrive with a new installation.";
        case UpdateChannel::kSelfUpdate:
            break;
    }
    return L"SongDeck updates itself: a new version is downloaded in the background and put in "
           L"place when the client restarts.";
}
