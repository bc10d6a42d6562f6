#include "kept_version.h"

#include <filesystem>
#include <sstream>
#include <system_error>
#include <utility>

#include "app/helpers.h"
#include "app/log.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/text_encoding.h"
#include "staged_update.h"
#include "update/previous_version.h"
#include "update/update_files.h"
#include "update/xml_document.h"

namespace fs = std::filesystem;

namespace {

constexpr wchar_t kRollingBackName[] = L"rolling_back";
constexpr wchar_t kFilesFolder[] = L"files";
// In the list: a file the update added, which a roll-back removes.
constexpr char kAddedFile[] = "-";
constexpr size_t kMaxListBytes = 64 * 1024;
// The roll-back marker's text when the version is to be refused.
constexpr char kRefuseMark[] = "refuse\n";

struct KeptList {
    LONGLONG version = 0;
    std::vector<ManifestFile> kept;
    std::vector<std::wstring> added;
};

// A delivered launcher replaces the launcher: the launcher is what is kept under its name.
std::wstring ReplacedFileName(const std::wstring& name) {
    if (name == std::wstring(kDeliveredLauncherName) + kExecutableSuffix) {
        return std::wstring(kLauncherName) + kExecutableSuffix;
    }
    return name;
}

bool ReadList(const std::wstring& path, KeptList& list) {
    std::string bytes;
    if (!ReadWholeFile(path, kMaxListBytes, bytes)) {
        return false;
    }
    std::istringstream lines(bytes);
    std::string line;
    if (!std::getline(lines, line)) {
        return false;
    }
    list.version = ParseInt64(Utf8ToWide(line));
    while (std::getline(lines, line)) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            return false;
        }
        ManifestFile file;
        file.name = Utf8ToWide(line.substr(tab + 1));
        // The list lies in a folder the user can write: a name never leaves the program folder.
        if (file.name.empty() || file.name == L"." || file.name == L".." ||
            file.name.find_first_of(L"/\\") != std::wstring::npos) {
            return false;
        }
        if (line.compare(0, tab, kAddedFile) == 0) {
            list.added.push_back(file.name);
        } else {
            file.digest = Utf8ToWide(line.substr(0, tab));
            list.kept.push_back(std::move(file));
        }
    }
    return true;
}

}  // namespace

CKeptVersion::CKeptVersion(std::wstring folder, std::wstring programDir)
    : m_strFolder(std::move(folder)), m_strProgramDir(std::move(programDir)) {}

bool CKeptVersion::IsKept() const {
    return FileExists(m_strFolder + kPreviousListName);
}

bool CKeptVersion::IsProven() const {
    return FileExists(m_strFolder + kStartedWordName);
}

bool CKeptVersion::IsRollingBack() const {
    return FileExists(m_strFolder + kRollingBackName);
}

bool CKeptVersion::Keep(const std::vector<ManifestFile>& files, LONGLONG version) {
    Remove();
    const std::wstring keptDir = m_strFolder + kFilesFolder + kPathSeparator;
    std::error_code error;
    fs::create_directories(PathFromWide(keptDir), error);
    std::string list = std::to_string(version) + "\n";
    for (const ManifestFile& file : files) {
        const std::wstring replaced = m_strProgramDir + ReplacedFileName(file.name);
        const fs::path target = PathFromWide(replaced);
        const fs::file_type type = fs::symlink_status(target, error).type();
        std::string digest = kAddedFile;
        // MinGW's symlink_status follows links on Windows: a dangling one reads as missing.
        if (type != fs::file_type::not_found || IsLinkEntry(target)) {
            // A link or a folder in a file's place would be removed by a roll-back, or followed.
            if (type != fs::file_type::regular || IsLinkEntry(target)) {
                WriteLog(warning,
                         L"RunSongDeck: \"%ls\" of the installed version is not a plain file; "
                         L"the update is not applied",
                         file.name.c_str());
                Remove();
                return false;
            }
            const std::wstring sha256 = SHA256OfFile(replaced.c_str());
            if (sha256.empty() ||
                CopyFileVerified(replaced, keptDir + file.name, sha256) != VerifiedCopy::Copied) {
                WriteLog(warning, L"RunSongDeck: cannot keep \"%ls\" of the installed version",
                         file.name.c_str());
                Remove();
                return false;
            }
            digest = WideToUtf8(sha256);
        }
        list += digest + "\t" + WideToUtf8(file.name) + "\n";
    }
    FlushToDisk(keptDir);
    return WriteNarrowFile((m_strFolder + kPreviousListName).c_str(), list.c_str()) != FALSE;
}

CKeptVersion::RollBackResult CKeptVersion::RollBack(bool refuse, LONGLONG& refused) const {
    refused = 0;
    KeptList list;
    std::string begun;
    if (ReadWholeFile(m_strFolder + kRollingBackName, kMaxListBytes, begun)) {
        refuse = begun == kRefuseMark;
    } else if (!WriteNarrowFile((m_strFolder + kRollingBackName).c_str(),
                                refuse ? kRefuseMark : "\n")) {
        return RollBackResult::kRetry;
    }
    if (!ReadList(m_strFolder + kPreviousListName, list)) {
        WriteLog(warning, L"RunSongDeck: the list of the previous version is unreadable");
        return RollBackResult::kUnusable;
    }
    const CStagedUpdate kept(m_strFolder + kFilesFolder + kPathSeparator, m_strProgramDir);
    switch (kept.PutInPlace(list.kept)) {
        case StageResult::kApplied:
            break;
        case StageResult::kFailed:
            return RollBackResult::kRetry;
        default:
            return RollBackResult::kUnusable;
    }
    for (const std::wstring& name : list.added) {
        std::error_code ignored;
        fs::remove(PathFromWide(m_strProgramDir + name), ignored);
    }
    FlushToDisk(m_strProgramDir);
    refused = refuse ? list.version : 0;
    return RollBackResult::kBack;
}

void CKeptVersion::Remove() const {
    std::error_code error;
    fs::remove(PathFromWide(m_strFolder + kPreviousListName), error);
    fs::remove_all(PathFromWide(m_strFolder), error);
}
