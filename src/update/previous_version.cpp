#include "update/previous_version.h"

#include <filesystem>
#include <string>

#include "app/environment.h"
#include "app/helpers.h"
#include "platform/files.h"
#include "update/manifest_files.h"
#include "update/update_files.h"
#include "update/xml_document.h"

namespace {

constexpr wchar_t kPreviousFolderName[] = L"previous";
constexpr wchar_t kRefusedVersionName[] = L"refused_version";
constexpr wchar_t kRefusedNoticeName[] = L"refused_notice";
constexpr size_t kVersionTextBytes = 32;

LONGLONG ReadVersionFile(const std::wstring& path) {
    std::string text;
    if (!ReadWholeFile(path, kVersionTextBytes, text)) {
        return 0;
    }
    return ParseInt64(std::wstring(text.begin(), text.end()));
}

}  // namespace

std::wstring PreviousVersionDir() {
    return GetUpdateStateDir() + kPreviousFolderName + kPathSeparator;
}

void ReportVersionStarted() {
    const std::wstring folder = PreviousVersionDir();
    if (FileExists(folder + kPreviousListName) && !FileExists(folder + kStartedWordName)) {
        WriteNarrowFile((folder + kStartedWordName).c_str(), "started\n");
    }
}

LONGLONG RefusedVersion() {
    return ReadVersionFile(GetUpdateStateDir() + kRefusedVersionName);
}

void RecordRefusedVersion(LONGLONG version) {
    WriteNarrowFile((GetUpdateStateDir() + kRefusedVersionName).c_str(),
                    (std::to_string(version) + "\n").c_str());
    WriteNarrowFile((GetUpdateStateDir() + kRefusedNoticeName).c_str(), "\n");
}

bool TakeRefusedVersionNotice() {
    return DeleteFileAt(GetUpdateStateDir() + kRefusedNoticeName) != FALSE;
}

void RemoveVersionRecords(bool withRefused) {
    const std::filesystem::path folder = PathFromWide(GetUpdateStateDir());
    RemoveTreeNoLinks(folder / kPreviousFolderName);
    if (withRefused) {
        RemoveTreeNoLinks(folder / kRefusedVersionName);
        RemoveTreeNoLinks(folder / kRefusedNoticeName);
    }
}
