#include "staged_update.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "app/helpers.h"
#include "app/log.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/process.h"
#include "update/xml_document.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kManifestName[] = L"update.xml";
constexpr wchar_t kPlacedPrefix[] = L".songdeck-new-";
constexpr wchar_t kLauncherName[] = L"RunSongDeck";
constexpr wchar_t kDeliveredLauncherName[] = L"RunSongDeck2";

bool IsSafeName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"/\\:") == std::wstring::npos &&
           name.find(L'\0') == std::wstring::npos;
}

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

bool CStagedUpdate::ReadStagedNames(std::vector<std::wstring>& names) const {
    pugi::xml_document document;
    if (LoadXmlDocument(m_strStageDir + kManifestName, document) != S_OK) {
        return false;
    }
    const pugi::xml_node root = document.child("updater");
    if (!root) {
        return false;
    }
    names.clear();
    for (const pugi::xpath_node& file : root.select_nodes("download/file")) {
        std::wstring link;
        GetNodeText(file.node(), "link", link);
        const size_t last = link.rfind(L'/');
        const std::wstring name = last == std::wstring::npos ? link : link.substr(last + 1);
        if (!IsSafeName(name) || name == kManifestName) {
            WriteLog(warning, L"RunSongDeck: staged manifest names an unsafe file \"%ls\"",
                     name.c_str());
            return false;
        }
        // Files the updater skipped (not newer than the running version) are not staged; a
        // link in their place could point anywhere, so it spoils the stage.
        std::error_code error;
        const fs::file_status status =
            fs::symlink_status(PathFromWide(m_strStageDir + name), error);
        if (fs::is_symlink(status) || (fs::exists(status) && !fs::is_regular_file(status))) {
            return false;
        }
        if (fs::is_regular_file(status)) {
            names.push_back(name);
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
    if (!fs::exists(PathFromWide(m_strStageDir + kManifestName), error)) {
        return StageResult::kNothingStaged;
    }
    std::vector<std::wstring> names;
    if (!verify(m_strStageDir) || !ReadStagedNames(names)) {
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
