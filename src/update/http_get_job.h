// One start of a download task: the state its download thread works on, shared between the
// task and the thread, and the thread's body.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/types.h"
#include "platform/http_request.h"
#include "update/part_file.h"

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
    // The file's name when the task was given one; else it comes from the URL.
    std::wstring m_strGivenName;

    // The download ends, its ".part" deleted, when the file would grow past this.
    uint64_t m_nMaxBytes = UINT64_MAX;
    HttpTransferLimits m_limits;

    // Shared with the owner's thread. Sizes are 64-bit inside; notifications carry the low
    // 32 bits, which the byte cap keeps exact.
    std::atomic<int> m_nRunning{0};
    std::atomic<uint64_t> m_nTotal{0};
    std::atomic<uint64_t> m_nReceived{0};

    // The file name is written once by the thread before it is published.
    LPCWSTR GetFileName() const;
    std::wstring GetFilePath() const;

    // Cuts the thread loose from its task: it posts nothing more and never calls the task.
    void Detach();

    // The download thread's body (started with BeginJobThread, which keeps the job alive).
    unsigned Run();

private:
    enum class Verdict {
        None,
        Accept,
        Redirect,
        Restart,
        HttpError,
        FileError,
        Refused,   // an answer no file may come from (a downgrade, an unknown coding)
        TooLarge,  // past the byte cap
    };

    // What one download thread works with from attempt to attempt.
    struct Transfer {
        std::filesystem::path partPath;
        std::wstring finalPath;
        CPartFile file;
        std::string url;
        int redirects = 0;
        int restarts = 0;
        long status = 0;
        std::string redirectUrl;
        bool lengthKnown = false;
        bool writeFailed = false;
        bool capReached = false;
    };

    unsigned DownloadThread();
    // The name the file gets from the URL, published for the owner; empty (its failure posted)
    // when no file may take it.
    std::wstring TakeFileName();
    // One request of the attempt loop; the verdict on its answer tells what happened.
    HttpRequestResult Attempt(CHttpRequest& request, Transfer& transfer,
                              const std::vector<std::string>& headers, Verdict& verdict);
    void Post(WPARAM code, LPARAM value);
    // Sizes travel as the low 32 bits of their value.
    void PostSize(WPARAM code, uint64_t value);
    // Opens the ".part" to continue it (adding the range line) or creates it; false when
    // neither works.
    bool OpenPart(Transfer& transfer, std::vector<std::string>& headers);
    // What to do with an answer; an accepted one has its size posted and its file placed.
    Verdict JudgeAnswer(Transfer& transfer, const HttpResponseHead& head);
    Verdict AcceptAnswer(Transfer& transfer, const HttpResponseHead& head);
    bool WriteChunk(Transfer& transfer, const char* data, size_t size);
    // After an answer that was not accepted: true to try again, false when the download ended
    // (its failure posted).
    bool PrepareRetry(Transfer& transfer, Verdict verdict);
    // After the transfer loop: done, stopped or incomplete.
    unsigned Conclude(Transfer& transfer, bool accepted, HttpRequestResult result);
    // Moves the finished ".part" into place, lets the task look at it and reports.
    unsigned Finish(const Transfer& transfer);

    std::wstring m_strFileName;
    std::atomic<bool> m_bFileNameSet{false};

    std::mutex m_ownerMutex;
    CHttpGetTask* m_pOwner;
};
