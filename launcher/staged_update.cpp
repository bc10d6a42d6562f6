#include "staged_update.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "app/helpers.h"
#include "app/log.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/process.h"
#include "update/manifest_files.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kPlacedPrefix[] = L".songdeck-new-";
constexpr wchar_t kLauncherName[] = L"RunSongDeck";
constexpr wchar_t kDeliveredLauncherName[] = L"RunSongDeck2";

// The mode a placed file takes: that of the file it replaces, so an executable stays one; a
// delivered launcher takes the launcher's.
fs::perms ModeFor(const std::wstring& programDir, const std::wstring& name) {
    std::error_code error;
    std::wstring model = programDir + name;
    if (name == std::wstring(kDeliveredLauncherName) + kExecutableSuffix) {
        model = programDir + kLauncherName + kExecutableSuffix;
    }
    const fs::file_status status = fs::status(PathFromWide(model), error);
    if (!error && fs::is_regular_file(status)) {
        return status.permissions();
    }
    return fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
           fs::perms::others_read;
}

}  // namespace

CStagedUpdate::CStagedUpdate(std::wstring stageDir, std::wstring programDir)
    : m_strStageDir(std::move(stageDir)), m_strProgramDir(std::move(programDir)) {}

bool CStagedUpdate::AreStagedFiles(const std::vector<std::wstring>& names) const {
    for (const std::wstring& name : names) {
        if (name.empty() || name == L"." || name == L".." || name == kStagedManifestName ||
            name.find_first_of(L"/\\") != std::wstring::npos) {
            return false;
        }
        // A link in a file's place could point anywhere, so it spoils the stage.
        std::error_code error;
        if (!fs::is_regular_file(fs::symlink_status(PathFromWide(m_strStageDir + name), error))) {
            WriteLog(warning, L"RunSongDeck: staged file \"%ls\" is missing or not a file",
                     name.c_str());
            return false;
        }
    }
    return true;
}

// Puts a copy of the staged file beside its target under a temporary name: a hard link when
// both folders share a file system, else a copy flushed to disk. The stage stays whole.
bool CStagedUpdate::PlaceBesideTarget(const std::wstring& name, std::wstring& placed) const {
    const fs::path from = PathFromWide(m_strStageDir + name);
    placed = m_strProgramDir + kPlacedPrefix + name;
    const fs::path to = PathFromWide(placed);
    std::error_code error;
    fs::remove(to, error);
    fs::create_hard_link(from, to, error);
    if (error) {
        error.clear();
        if (!fs::copy_file(from, to, fs::copy_options::overwrite_existing, error) ||
            !FlushToDisk(placed)) {
            WriteLog(warning, L"RunSongDeck: cannot copy \"%ls\" into the program folder",
                     name.c_str());
            fs::remove(to, error);
            return false;
        }
    }
    fs::permissions(to, ModeFor(m_strProgramDir, name), error);
    return !error;
}

void CStagedUpdate::EmptyStage() const {
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(PathFromWide(m_strStageDir), error)) {
        std::error_code ignored;
        fs::remove_all(entry.path(), ignored);
    }
}

StageResult CStagedUpdate::Apply(const StageVerifier& verify) {
    std::error_code error;
    if (!fs::exists(PathFromWide(m_strStageDir + kStagedManifestName), error)) {
        return StageResult::kNothingStaged;
    }
    std::vector<std::wstring> names;
    if (!verify(m_strStageDir, names) || !AreStagedFiles(names)) {
        WriteLog(warning, L"RunSongDeck: the staged update does not verify; it is not applied");
        return StageResult::kRejected;
    }
    // First every file goes beside its target, then each takes the target's place by a
    // rename. A stop before the renames leaves the old version; one during them leaves the
    // stage whole, so the next start completes the update.
    std::vector<std::wstring> placed;
    for (const std::wstring& name : names) {
        std::wstring path;
        if (!PlaceBesideTarget(name, path)) {
            for (const std::wstring& done : placed) {
                fs::remove(PathFromWide(done), error);
            }
            return StageResult::kFailed;
        }
        placed.push_back(path);
    }
    for (size_t i = 0; i < names.size(); ++i) {
        fs::rename(PathFromWide(placed[i]), PathFromWide(m_strProgramDir + names[i]), error);
        if (error) {
            WriteLog(warning, L"RunSongDeck: cannot replace \"%ls\"", names[i].c_str());
            return StageResult::kFailed;
        }
    }
    FlushToDisk(m_strProgramDir);
    EmptyStage();
    WriteLog(info, L"RunSongDeck: applied the staged update (%d files)",
             static_cast<int>(names.size()));
    return StageResult::kApplied;
}

bool SwapDeliveredLauncher(const std::wstring& programDir) {
    const fs::path delivered =
        PathFromWide(programDir + kDeliveredLauncherName + kExecutableSuffix);
    std::error_code error;
    if (!fs::is_regular_file(delivered, error)) {
        return false;
    }
    fs::rename(delivered, PathFromWide(programDir + kLauncherName + kExecutableSuffix), error);
    return !error;
}
