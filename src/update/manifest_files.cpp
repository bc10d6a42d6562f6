#include "update/manifest_files.h"

#include "app/helpers.h"
#include "platform/text_encoding.h"
#include "platform/trusted_pages.h"
#include "platform/xml_document.h"
#include "update/xml_document.h"

namespace {

bool IsPlainName(const std::wstring& name) {
    // One step, no ':' (streams), no device, no trailing dot or space (Windows drops them, so
    // "update.xml. " would be "update.xml"), and none of the characters Windows refuses.
    if (name.empty() || name == L"." || name.find_first_of(L"/\\*?\"<>|") != std::wstring::npos ||
        !platform::IsPlainPagePath(name) || name.back() == L'.' || name.back() == L' ') {
        return false;
    }
    for (const wchar_t* reserved : {kStagedManifestName, kStagedSignatureName, kStagedNotesName,
                                    kCheckManifestName, kCheckSignatureName}) {
        if (EqualsIgnoringCase(name, reserved)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::vector<ManifestFile> ReadManifestFiles(const platform::CXmlNode& root) {
    std::vector<ManifestFile> files;
    for (const platform::CXmlNode& node : root.SelectAll("download/file")) {
        ManifestFile file;
        std::wstring md5;
        std::wstring version;
        GetNodeText(node, "link", file.link);
        GetNodeText(node, "sha256", file.digest);
        GetNodeText(node, "md5", md5);
        GetNodeText(node, "ver", version);
        if (file.digest.empty()) {
            file.digest = md5;
        }
        file.version = ParseInt64(version);
        // The name the download gets: the last segment of the link's path.
        const std::wstring path = UrlPathOf(file.link);
        const size_t last = path.rfind(L'/');
        file.name = (last == std::wstring::npos || last == 0) ? path : path.substr(last + 1);
        files.push_back(std::move(file));
    }
    return files;
}

bool CanStageFiles(const std::vector<ManifestFile>& files, bool digestsRequired) {
    for (size_t i = 0; i < files.size(); ++i) {
        if (!IsPlainName(files[i].name) || (digestsRequired && files[i].digest.empty())) {
            return false;
        }
        // The stage's file systems may ignore case, so "A.dll" and "a.dll" are one file.
        for (size_t j = 0; j < i; ++j) {
            if (EqualsIgnoringCase(files[i].name, files[j].name)) {
                return false;
            }
        }
    }
    return true;
}
