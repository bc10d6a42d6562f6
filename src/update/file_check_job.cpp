#include "update/file_check_job.h"

#include "app/helpers.h"
#include "platform/messages.h"
#include "update/update_files.h"

namespace {

constexpr WPARAM kCheckDone = 14;

// Names come from the manifest: only a plain file name is looked up in the update directory,
// so a link cannot make the check delete a file elsewhere.
bool IsPlainFileName(const std::wstring& name) {
    return !name.empty() && name != L"." && name != L".." &&
           name.find_first_of(L"/\\") == std::wstring::npos;
}

}  // namespace

void CFileCheckJob::Run() {
    std::vector<DownloadEntry> left;
    std::vector<std::wstring> leftNames;
    for (size_t i = 0; i < m_names.size() && i < m_downloads.size(); ++i) {
        if (m_bStop.load()) {
            return;
        }
        const std::wstring path = m_strDir + m_names[i];
        const DownloadEntry& entry = m_downloads[i];
        if (!IsPlainFileName(m_names[i]) || !FileExists(path)) {
            left.push_back(entry);
            leftNames.push_back(m_names[i]);
        } else if (entry.second.empty()) {
            // Present and nothing to compare with: counts as present.
        } else if (DigestOfFileLike(entry.second, path) == entry.second) {
            // Already in place.
        } else {
            DeleteFileAt(path);
            left.push_back(entry);
            leftNames.push_back(m_names[i]);
        }
    }
    for (size_t i = m_names.size(); i < m_downloads.size(); ++i) {
        left.push_back(m_downloads[i]);
        leftNames.emplace_back();
    }
    m_downloads = std::move(left);
    m_leftNames = std::move(leftNames);
    m_dShare = 100.0 / static_cast<double>(m_downloads.size() + 1);
    if (m_bStop.load()) {
        return;
    }
    m_bFinished.store(true);
    PostMessageW(m_hNotifyWnd, m_nMsgId, kCheckDone, 0);
}
