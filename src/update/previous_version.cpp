#include "update/previous_version.h"

#include <string>

#include "app/environment.h"
#include "platform/files.h"
#include "update/manifest_files.h"
#include "update/update_files.h"
#include "update/xml_document.h"

namespace {

constexpr wchar_t kRefusedVersionName[] = L"refused_version";
constexpr wchar_t kRefusedNoticeName[] = L"refused_notice";
constexpr size_t kVersionTextBytes = 32;

bool WriteText(const std::wstring& path, const std::string& text) {
    return ReplaceFileAtomically(PathFromWide(path), text.data(), text.size()) != FALSE;
}

LONGLONG ReadVersionFile(const std::wstring& path) {
    std::string text;
    if (!ReadWholeFile(path, kVersionTextBytes, text)) {
        return 0;
    }
    return ParseInt64(std::wstring(text.begin(), text.end()));
}

}  // namespace

std::wstring PreviousVersionDir() {
    return GetUpdateStateDir() + L"previous" + kPathSeparator;
}

void ReportVersionStarted() {
    const std::wstring folder = PreviousVersionDir();
    if (FileExists(folder + kPreviousListName) && !FileExists(folder + kStartedWordName)) {
        WriteText(folder + kStartedWordName, "started\n");
    }
}

LONGLONG RefusedVersion() {
    return ReadVersionFile(GetUpdateStateDir() + kRefusedVersionName);
}

void RecordRefusedVersion(LONGLONG version) {
    WriteText(GetUpdateStateDir() + kRefusedVersionName, std::to_string(version) + "\n");
    WriteText(GetUpdateStateDir() + kRefusedNoticeName, "\n");
}

bool TakeRefusedVersionNotice() {
    return DeleteFileAt(GetUpdateStateDir() + kRefusedNoticeName) != FALSE;
}
