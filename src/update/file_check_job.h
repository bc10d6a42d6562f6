// The work of the updater's file-check worker: drop from the download list every file already
// in the update directory with the right MD5. The job is shared between the updater and its
// worker, so a worker that outlives the updater's wait still has everything it uses.
#pragma once

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "platform/types.h"

// A file still to download: its URL and its MD5 text (empty: no check).
using DownloadEntry = std::pair<std::wstring, std::wstring>;

struct CFileCheckJob {
    std::wstring m_strDir;
    std::vector<std::wstring> m_names;
    std::vector<DownloadEntry> m_downloads;
    // Results: the file names of the downloads left, side by side with them.
    std::vector<std::wstring> m_leftNames;
    HWND m_hNotifyWnd = nullptr;
    UINT m_nMsgId = 0;

    // Results, read by the updater only after the worker's message arrived.
    double m_dShare = 0;
    std::atomic<bool> m_bFinished{false};
    // Set by the updater to end the check early; the worker then posts nothing.
    std::atomic<bool> m_bStop{false};

    // Runs the check and posts (msg id, 14, 0) to the notify window unless stopped.
    void Run();
};
