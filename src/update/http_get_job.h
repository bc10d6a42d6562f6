// One start of a download task: the state its download thread works on, shared between the
// task and the thread, and the thread's body.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/types.h"
#include "update/http_request.h"

class CHttpGetTask;

class CHttpGetJob {
public:
    explicit CHttpGetJob(CHttpGetTask* owner) : m_pOwner(owner) {}

    // Fixed by the task before the thread starts.
    HWND m_hNotifyWnd = nullptr;
    UINT m_nMsgId = 0;
    bool m_bInitialized = false;
    HttpRequestSettings m_settings;
    std::wstring m_strUrl;
    std::wstring m_strDirectory;

    // Shared with the owner's thread.
    std::atomic<int> m_nRunning{0};
    std::atomic<uint32_t> m_nTotal{0};
    std::atomic<uint32_t> m_nReceived{0};

    // The file name is written once by the thread before it is published.
    LPCWSTR GetFileName() const;
    std::wstring GetFilePath() const;

    // Cuts the thread loose from its task: it posts nothing more and never calls the task.
    void Detach();

    // The thread's entry; arg is a heap std::shared_ptr<CHttpGetJob> that the thread frees.
    static unsigned ThreadEntry(void* arg);

private:
    enum class Verdict { None, Accept, Redirect, Restart, HttpError, FileError };

    unsigned DownloadThread();
    void Post(WPARAM code, LPARAM value);
    // Moves the finished ".part" into place, lets the task look at it and reports.
    unsigned Finish(const std::wstring& partPath, const std::wstring& finalPath);

    std::wstring m_strFileName;
    std::atomic<bool> m_bFileNameSet{false};

    std::mutex m_ownerMutex;
    CHttpGetTask* m_pOwner;
};
