#include "update/http_get_job.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "app/helpers.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text_encoding.h"
#include "update/http_get_task.h"
#include "update/part_file.h"

namespace fs = std::filesystem;

namespace {

// A redirect chain longer than this is a loop.
constexpr int kMaxRedirects = 10;
// Starting again from byte 0 (after 416, a resume without length, a misplaced range) is
// allowed this many times, so a server that always answers so cannot keep the thread busy.
constexpr int kMaxRestarts = 3;

constexpr unsigned kFailedExitCode = 0xFFFFFFFF;

// Sizes are 32-bit by design; larger values are cut to their low 32 bits as the file size is.
uint32_t Low32(uint64_t value) {
    return static_cast<uint32_t>(value & 0xFFFFFFFFu);
}

bool RemoveFile(const fs::path& path) {
    std::error_code error;
    fs::remove(path, error);
    return !error && !fs::exists(path, error);
}

unsigned EveryoneFileMode() {
    SECURITY_ATTRIBUTES attributes{};
    unsigned char descriptor[64] = {};
    unsigned char acl[1024] = {};
    if (!BuildEveryoneSecurity(&attributes, descriptor, acl)) {
        return 0;
    }
    return attributes.fileMode;
}

}  // namespace

LPCWSTR CHttpGetJob::GetFileName() const {
    return m_bFileNameSet.load(std::memory_order_acquire) ? m_strFileName.c_str() : nullptr;
}

std::wstring CHttpGetJob::GetFilePath() const {
    LPCWSTR name = GetFileName();
    return name == nullptr ? std::wstring() : m_strDirectory + name;
}

void CHttpGetJob::Detach() {
    std::lock_guard<std::mutex> lock(m_ownerMutex);
    m_pOwner = nullptr;
}

void CHttpGetJob::Post(WPARAM code, LPARAM value) {
    std::lock_guard<std::mutex> lock(m_ownerMutex);
    if (m_pOwner != nullptr) {
        PostMessageW(m_hNotifyWnd, m_nMsgId, code, value);
    }
}

unsigned CHttpGetJob::ThreadEntry(void* arg) {
    std::unique_ptr<std::shared_ptr<CHttpGetJob>> holder(
        static_cast<std::shared_ptr<CHttpGetJob>*>(arg));
    CHttpGetJob& job = **holder;
    unsigned exitCode = job.DownloadThread();
    job.m_nRunning.store(0);
    return exitCode;
}

unsigned CHttpGetJob::DownloadThread() {
    m_nTotal.store(0);
    Post(HTTPGET_BEGIN, 0);
    Post(HTTPGET_CONNECTING, 0);

    // The name comes from the URL as given; a redirect later does not change it.
    std::wstring name = FileNameFromUrl(m_strUrl);
    if (name.empty()) {
        Post(HTTPGET_ERR_REQUEST, 0);
        return kFailedExitCode;
    }
    m_strFileName = name;
    m_bFileNameSet.store(true, std::memory_order_release);
    const std::wstring partPath = m_strDirectory + name + L".part";
    const std::wstring finalPath = m_strDirectory + name;
    const fs::path partFsPath = PathFromWide(partPath);

    CHttpRequest request(m_settings);
    CPartFile file;
    std::string url = WideToUtf8(m_strUrl);
    int redirects = 0;
    int restarts = 0;
    bool accepted = false;
    bool lengthKnown = false;
    bool writeFailed = false;
    HttpRequestResult transfer = HttpRequestResult::Failed;

    while (m_nRunning.load() != 0) {
        std::vector<std::string> headers{"Accept: */*"};
        uint32_t received = 0;
        if (file.OpenExisting(partFsPath)) {
            received = Low32(file.GetOpenedSize());
            char range[48];
            std::snprintf(range, sizeof(range), "Range: bytes=%u-", received);
            headers.emplace_back(range);
            m_nReceived.store(received);
            Post(HTTPGET_RESUME, received);
        } else {
            unsigned mode = EveryoneFileMode();
            if (!file.Create(partFsPath, mode) && (mode == 0 || !file.Create(partFsPath, 0))) {
                Post(HTTPGET_ERR_FILE, 0);
                return kFailedExitCode;
            }
            m_nReceived.store(0);
        }

        Verdict verdict = Verdict::None;
        long status = 0;
        std::string redirectUrl;
        auto onHead = [&](const HttpResponseHead& head) {
            status = head.status;
            if ((status >= 200 && status <= 206) || status == 100) {
                verdict = Verdict::Accept;
            } else if (status >= 300 && status <= 308) {
                verdict = head.location ? Verdict::Redirect : Verdict::Accept;
                if (head.location) {
                    redirectUrl = CHttpRequest::ResolveLocation(url, *head.location);
                }
            } else if (status >= 400 && status <= 504) {
                verdict = status == 416 ? Verdict::Restart : Verdict::HttpError;
            } else {
                verdict = Verdict::Accept;
            }
            if (verdict != Verdict::Accept) {
                return false;
            }
            uint32_t resumed = m_nReceived.load();
            if (!head.contentLength) {
                if (resumed > 0) {
                    // Without a length a resumed file cannot be known complete: start over.
                    verdict = Verdict::Restart;
                    return false;
                }
                lengthKnown = false;
                m_nTotal.store(0);
                Post(HTTPGET_SIZE, 0);
                return true;
            }
            if (resumed > 0) {
                // Only a 206 continues the file, and only where its range says it starts; a
                // server that ignored the range sends the whole file from byte 0.
                uint64_t start = 0;
                if (status == 206) {
                    start = head.rangeStart.value_or(resumed);
                }
                if (start > resumed) {
                    verdict = Verdict::Restart;
                    return false;
                }
                if (start != resumed) {
                    if (!file.Truncate(start)) {
                        verdict = Verdict::FileError;
                        return false;
                    }
                    m_nReceived.store(Low32(start));
                }
            }
            lengthKnown = true;
            uint32_t total = Low32(*head.contentLength + m_nReceived.load());
            m_nTotal.store(total);
            Post(HTTPGET_SIZE, total);
            return true;
        };
        auto onBody = [&](const char* data, size_t size) {
            uint32_t now = m_nReceived.load();
            if (lengthKnown) {
                // Bytes past the announced length are not part of the file.
                uint32_t total = m_nTotal.load();
                size = now >= total ? 0 : std::min<size_t>(size, total - now);
                if (size == 0) {
                    return true;
                }
            }
            if (!file.Write(data, size)) {
                writeFailed = true;
                return false;
            }
            now += static_cast<uint32_t>(size);
            m_nReceived.store(now);
            Post(HTTPGET_PROGRESS, now);
            return true;
        };

        HttpRequestResult result = HttpRequestResult::Failed;
        if (m_bInitialized) {
            result = request.Get(url, headers, m_nRunning, CHttpGetTask::GetStallTimeoutMs(),
                                 onHead, onBody);
        }
        if (verdict == Verdict::Accept) {
            accepted = true;
            transfer = result;
            break;
        }
        file.Close();
        received = m_nReceived.load();
        if (verdict == Verdict::None) {
            if (m_nRunning.load() == 0) {
                break;
            }
            // No answer: the request could not be made or sent.
            if (received == 0) {
                RemoveFile(partFsPath);
            }
            Post(HTTPGET_ERR_REQUEST, 0);
            return kFailedExitCode;
        }
        if (verdict == Verdict::Redirect) {
            if (redirectUrl.empty() || ++redirects > kMaxRedirects) {
                if (received == 0) {
                    RemoveFile(partFsPath);
                }
                Post(HTTPGET_ERR_REQUEST, 0);
                return kFailedExitCode;
            }
            url = redirectUrl;
            continue;
        }
        if (verdict == Verdict::Restart) {
            if (!RemoveFile(partFsPath)) {
                Post(HTTPGET_ERR_FILE, status);
                return kFailedExitCode;
            }
            if (++restarts > kMaxRestarts) {
                Post(HTTPGET_ERR_HTTP, status);
                return kFailedExitCode;
            }
            continue;
        }
        if (verdict == Verdict::FileError) {
            Post(HTTPGET_ERR_FILE, 0);
            return kFailedExitCode;
        }
        // An HTTP error.
        if (received == 0) {
            RemoveFile(partFsPath);
        }
        Post(HTTPGET_ERR_HTTP, status);
        return kFailedExitCode;
    }
    file.Close();

    uint32_t received = m_nReceived.load();
    if (writeFailed) {
        Post(HTTPGET_ERR_FILE, 0);
        return kFailedExitCode;
    }
    if (accepted && lengthKnown && received == m_nTotal.load()) {
        return Finish(partPath, finalPath);
    }
    if (m_nRunning.load() == 0) {
        Post(HTTPGET_STOPPED, 0);
        return 0;
    }
    if (lengthKnown || transfer != HttpRequestResult::Completed) {
        Post(HTTPGET_ERR_INCOMPLETE, 0);
        return 0;
    }
    return Finish(partPath, finalPath);
}

unsigned CHttpGetJob::Finish(const std::wstring& partPath, const std::wstring& finalPath) {
    // rename replaces a file already under the final name.
    std::error_code error;
    fs::rename(PathFromWide(partPath), PathFromWide(finalPath), error);
    if (error) {
        Post(HTTPGET_ERR_RENAME, 0);
        return kFailedExitCode;
    }
    std::lock_guard<std::mutex> lock(m_ownerMutex);
    if (m_pOwner != nullptr) {
        m_pOwner->OnDownloaded();
        PostMessageW(m_hNotifyWnd, m_nMsgId, HTTPGET_DONE, 0);
    }
    return 0;
}
