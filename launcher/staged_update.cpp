#include "staged_update.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "app/helpers.h"
#include "app/log.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/process.h"
#include "update/update_files.h"

namespace fs = std::filesystem;

namespace {

// A file itself, not a link to one: MinGW's symlink_status cannot tell a link on Windows.
bool IsPlainFileEntry(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(fs::symlink_status(path, error)) && !IsLinkEntry(path);
}

constexpr wchar_t kPlacedPrefix[] = L".songdeck-new-";
// Written by setup (installer/SongDeckSetup.nsi): one path below the program folder a line,
// UTF-16LE, lines ending in CR LF.
constexpr wchar_t kSetupRecordName[] = L"SongDeck.files";

void AppendUtf16Le(std::string& bytes, const std::wstring& text) {
    for (const wchar_t ch : text) {
        const unsigned long code = static_cast<unsigned long>(ch);
        if (code > 0xFFFF) {
            const unsigned long rest = code - 0x10000;
            AppendUtf16Le(bytes, {static_cast<wchar_t>(0xD800 + (rest >> 10)),
                                  static_cast<wchar_t>(0xDC00 + (rest & 0x3FF))});
            continue;
        }
        bytes.push_back(static_cast<char>(code & 0xFF));
        bytes.push_back(static_cast<char>(code >> 8));
    }
}

std::wstring DeliveredLauncherFileName() {
    return std::wstring(kDeliveredLauncherName) + kExecutableSuffix;
}

// The mode a placed file takes: that of the file it replaces, so an executable stays one; a
// delivered launcher takes the launcher's.
fs::perms ModeFor(const std::wstring& programDir, const std::wstring& name) {
    std::error_code error;
    std::wstring model = programDir + name;
    if (name == DeliveredLauncherFileName()) {
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

bool CStagedUpdate::AreStagedFiles(const std::vector<ManifestFile>& files) const {
    for (const ManifestFile& file : files) {
        const std::wstring& name = file.name;
        if (name.empty() || name == L"." || name == L".." || name == kStagedManifestName ||
            name.find_first_of(L"/\\") != std::wstring::npos) {
            return false;
        }
        // A link in a file's place could point anywhere, so it spoils the stage.
        if (!IsPlainFileEntry(PathFromWide(m_strStageDir + name))) {
            WriteLog(warning, L"RunSongDeck: staged file \"%ls\" is missing or not a file",
                     name.c_str());
            return false;
        }
    }
    return true;
}

// Puts a copy of the staged file beside its target under a temporary name, checked against
// its digest as it is copied: the bytes placed are the bytes checked, whatever happens to the
// staged file meanwhile. The stage stays whole.
StageResult CStagedUpdate::PlaceBesideTarget(const ManifestFile& file, std::wstring& placed) const {
    placed = m_strProgramDir + kPlacedPrefix + file.name;
    switch (CopyFileVerified(m_strStageDir + file.name, placed, file.digest)) {
        case VerifiedCopy::Copied:
            break;
        case VerifiedCopy::Unwritable:
            WriteLog(warning, L"RunSongDeck: cannot copy \"%ls\" into the program folder",
                     file.name.c_str());
            return StageResult::kFailed;
        default:
            WriteLog(warning,
                     L"RunSongDeck: staged file \"%ls\" unreadable or changed after its check",
                     file.name.c_str());
            return StageResult::kRejected;
    }
    std::error_code error;
    fs::permissions(PathFromWide(placed), ModeFor(m_strProgramDir, file.name), error);
    return error ? StageResult::kFailed : StageResult::kApplied;
}

void CStagedUpdate::RecordPlacedFiles(const std::vector<ManifestFile>& files) const {
    const fs::path record = PathFromWide(m_strProgramDir + kSetupRecordName);
    // Only an installation made by setup has a record; a link in its place is not one.
    if (!IsPlainFileEntry(record)) {
        return;
    }
    std::string lines;
    for (const ManifestFile& file : files) {
        AppendUtf16Le(lines, file.name + L"\r\n");
    }
    std::ofstream(record, std::ios::binary | std::ios::app) << lines;
}

void CStagedUpdate::RemovePlacedCopies() const {
    const std::wstring prefix = kPlacedPrefix;
    std::error_code error;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(PathFromWide(m_strProgramDir), error)) {
        if (WideFromPath(entry.path().filename()).starts_with(prefix)) {
            std::error_code ignored;
            fs::remove(entry.path(), ignored);
        }
    }
}

// The manifest goes first: a stop part-way then leaves no stage that looks tampered with, and
// the applied manifest, which goes last, says the rest is to go too.
void CStagedUpdate::EmptyStage() const {
    std::error_code error;
    fs::rename(PathFromWide(m_strStageDir + kStagedManifestName),
               PathFromWide(m_strStageDir + kAppliedManifestName), error);
    FinishEmptying();
}

void CStagedUpdate::FinishEmptying() const {
    const fs::path applied = PathFromWide(m_strStageDir + kAppliedManifestName);
    std::error_code error;
    if (!fs::exists(applied, error)) {
        return;
    }
    // A client that ran meanwhile may have staged a newer update beside the marker: only the
    // marker goes then.
    if (!fs::exists(PathFromWide(m_strStageDir + kStagedManifestName), error)) {
        for (const fs::directory_entry& entry :
             fs::directory_iterator(PathFromWide(m_strStageDir), error)) {
            if (entry.path() != applied) {
                RemoveTreeNoLinks(entry.path());
            }
        }
    }
    fs::remove(applied, error);
}

StageResult CStagedUpdate::Apply(const StageVerifier& verify,
                                 const BeforeReplacing& beforeReplacing) {
    std::error_code error;
    if (!fs::exists(PathFromWide(m_strStageDir + kStagedManifestName), error)) {
        return StageResult::kNothingStaged;
    }
    RemovePlacedCopies();
    std::vector<ManifestFile> files;
    if (!verify(m_strStageDir, files) || !AreStagedFiles(files)) {
        WriteLog(warning, L"RunSongDeck: the staged update does not verify; it is not applied");
        return StageResult::kRejected;
    }
    if (beforeReplacing && !beforeReplacing(files)) {
        return StageResult::kFailed;
    }
    const StageResult result = PutInPlace(files);
    if (result != StageResult::kApplied) {
        return result;
    }
    EmptyStage();
    WriteLog(info, L"RunSongDeck: applied the staged update (%d files)",
             static_cast<int>(files.size()));
    return StageResult::kApplied;
}

StageResult CStagedUpdate::PutInPlace(const std::vector<ManifestFile>& files) const {
    RemovePlacedCopies();
    if (!AreStagedFiles(files)) {
        return StageResult::kRejected;
    }
    // First every file goes beside its target, then each takes the target's place by a
    // rename. A stop before the renames leaves the old version; one during them leaves the
    // stage whole, so the next start completes the update.
    std::vector<std::wstring> placed;
    for (const ManifestFile& file : files) {
        std::wstring path;
        const StageResult result = PlaceBesideTarget(file, path);
        if (result != StageResult::kApplied) {
            RemovePlacedCopies();
            return result;
        }
        placed.push_back(path);
    }
    std::error_code error;
    for (size_t i = 0; i < files.size(); ++i) {
        fs::rename(PathFromWide(placed[i]), PathFromWide(m_strProgramDir + files[i].name), error);
        if (error) {
            WriteLog(warning, L"RunSongDeck: cannot replace \"%ls\"", files[i].name.c_str());
            return StageResult::kFailed;
        }
    }
    if (std::any_of(files.begin(), files.end(), [](const ManifestFile& file) {
            return file.name == DeliveredLauncherFileName();
        })) {
        SwapDeliveredLauncher(m_strProgramDir);
    }
    RecordPlacedFiles(files);
    FlushToDisk(m_strProgramDir);
    return StageResult::kApplied;
}
