#include "update/http_get_job.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "app/helpers.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/text_encoding.h"
#include "platform/write_file.h"
#include "update/http_get_task.h"

namespace fs = std::filesystem;

namespace {

// A redirect chain longer than this is a loop.
constexpr int kMaxRedirects = 10;
// Starting again from byte 0 (after 416, a resume without length, a misplaced range) is
// allowed this many times, so a server that always answers so cannot keep the thread busy.
constexpr int kMaxRestarts = 3;

constexpr unsigned kFailedExitCode = 0xFFFFFFFF;

uint32_t Low32(uint64_t value) {
    return static_cast<uint32_t>(value & 0xFFFFFFFFu);
}

bool EqualsAsciiIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

bool StartsWithIgnoringCase(const std::string& text, std::string_view prefix) {
    return EqualsAsciiIgnoringCase(std::string_view(text).substr(0, prefix.size()), prefix);
}

// Only chunked framing is taken: any other coding would have to be decoded into more bytes
// than the wire carried.
bool IsAcceptedTransferCoding(const std::string& coding) {
    const size_t first = coding.find_first_not_of(" \t");
    const size_t last = coding.find_last_not_of(" \t");
    return first != std::string::npos &&
           EqualsAsciiIgnoringCase(std::string_view(coding).substr(first, last - first + 1),
                                   "chunked");
}

// Spaces, control characters and bytes outside ASCII are percent-encoded: a link written with
// a space is still a link to that file.
std::string EncodeUrlForRequest(const std::string& url) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string encoded;
    for (unsigned char c : url) {
        if (c <= 0x20 || c >= 0x7F) {
            encoded += '%';
            encoded += kDigits[c >> 4];
            encoded += kDigits[c & 0x0F];
        } else {
            encoded += static_cast<char>(c);
        }
    }
    return encoded;
}

bool RemoveFile(const fs::path& path) {
    std::error_code error;
    fs::remove(path, error);
    return !error && !fs::exists(path, error);
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

void CHttpGetJob::PostSize(WPARAM code, uint64_t value) {
    Post(code, static_cast<LPARAM>(Low32(value)));
}

void CHttpGetJob::Post(WPARAM code, LPARAM value) {
    std::lock_guard<std::mutex> lock(m_ownerMutex);
    if (m_pOwner != nullptr) {
        PostMessageW(m_hNotifyWnd, m_nMsgId, code, value);
    }
}

unsigned CHttpGetJob::Run() {
    unsigned exitCode = DownloadThread();
    m_nRunning.store(0);
    return exitCode;
}

unsigned CHttpGetJob::DownloadThread() {
    m_nTotal.store(0);
    Post(HTTPGET_BEGIN, 0);
    Post(HTTPGET_CONNECTING, 0);

    const std::wstring name = TakeFileName();
    if (name.empty()) {
        return kFailedExitCode;
    }
    Transfer transfer;
    transfer.partPath = PathFromWide(m_strDirectory + name + L".part");
    transfer.finalPath = m_strDirectory + name;
    transfer.url = EncodeUrlForRequest(WideToUtf8(m_strUrl));
    CHttpRequest request(m_settings);

    while (m_nRunning.load() != 0) {
        std::vector<std::string> headers{"Accept: */*"};
        if (!OpenPart(transfer, headers)) {
            Post(HTTPGET_ERR_FILE, 0);
            return kFailedExitCode;
        }
        Verdict verdict = Verdict::None;
        HttpRequestResult result = Attempt(request, transfer, headers, verdict);
        if (verdict == Verdict::Accept) {
            return Conclude(transfer, true, result);
        }
        transfer.file.Close();
        if (verdict == Verdict::None && m_nRunning.load() == 0) {
            break;
        }
        if (!PrepareRetry(transfer, verdict)) {
            return kFailedExitCode;
        }
    }
    return Conclude(transfer, false, HttpRequestResult::Stopped);
}

std::wstring CHttpGetJob::TakeFileName() {
    // The name comes from the URL as given; a redirect later does not change it.
    std::wstring name = m_strGivenName.empty() ? FileNameFromUrl(m_strUrl) : m_strGivenName;
    if (name.empty() || name == L"." || name == L"..") {
        Post(HTTPGET_ERR_REQUEST, 0);
        return {};
    }
    m_strFileName = name;
    m_bFileNameSet.store(true, std::memory_order_release);
    if (platform::IsFileNameTooLong(name + L".part")) {
        Post(HTTPGET_ERR_FILE, 0);
        return {};
    }
    return name;
}

HttpRequestResult CHttpGetJob::Attempt(CHttpRequest& request, Transfer& transfer,
                                       const std::vector<std::string>& headers, Verdict& verdict) {
    transfer.status = 0;
    if (!m_bInitialized) {
        return HttpRequestResult::Failed;
    }
    auto judged = [&](const HttpResponseHead& head) {
        verdict = JudgeAnswer(transfer, head);
        return verdict == Verdict::Accept;
    };
    auto onBody = [&](const char* data, size_t size) { return WriteChunk(transfer, data, size); };
    return request.Get(transfer.url, headers, m_nRunning, m_limits, judged, onBody);
}

bool CHttpGetJob::OpenPart(Transfer& transfer, std::vector<std::string>& headers) {
    const CPartFile::OpenResult opened = transfer.file.OpenExisting(transfer.partPath);
    if (opened == CPartFile::OpenResult::Opened) {
        const uint64_t received = transfer.file.GetOpenedSize();
        char range[48];
        std::snprintf(range, sizeof(range), "Range: bytes=%llu-",
                      static_cast<unsigned long long>(received));
        headers.emplace_back(range);
        m_nReceived.store(received);
        PostSize(HTTPGET_RESUME, received);
        return true;
    }
    // A link or anything else but a file in the ".part"'s place is not ours to continue: it
    // goes (Create removes it) and the download starts from zero.
    m_nReceived.store(0);
    return transfer.file.Create(transfer.partPath);
}

CHttpGetJob::Verdict CHttpGetJob::JudgeAnswer(Transfer& transfer, const HttpResponseHead& head) {
    long status = head.status;
    transfer.status = status;
    if (status >= 300 && status <= 308 && head.location) {
        transfer.redirectUrl = CHttpRequest::ResolveLocation(transfer.url, *head.location);
        // Once on https, a hop to plain http would hand the transfer to anyone on the way.
        if (StartsWithIgnoringCase(transfer.url, "https://") &&
            !StartsWithIgnoringCase(transfer.redirectUrl, "https://")) {
            return Verdict::Refused;
        }
        return Verdict::Redirect;
    }
    if (status >= 400 && status <= 504) {
        return status == 416 ? Verdict::Restart : Verdict::HttpError;
    }
    // Everything else, success or not, is taken as the file.
    return AcceptAnswer(transfer, head);
}

CHttpGetJob::Verdict CHttpGetJob::AcceptAnswer(Transfer& transfer, const HttpResponseHead& head) {
    if (head.transferEncoding && !IsAcceptedTransferCoding(*head.transferEncoding)) {
        return Verdict::Refused;
    }
    const uint64_t resumed = m_nReceived.load();
    if (!head.contentLength) {
        if (resumed > 0) {
            // Without a length a resumed file cannot be known complete: start over.
            return Verdict::Restart;
        }
        transfer.lengthKnown = false;
        m_nTotal.store(0);
        Post(HTTPGET_SIZE, 0);
        return Verdict::Accept;
    }
    if (resumed > 0) {
        // Only a 206 continues the file, and only where its range says it starts; a server
        // that ignored the range sends the whole file from byte 0. A 206 that names no start
        // cannot be placed at all.
        if (head.status == 206 && !head.rangeStart) {
            return Verdict::Restart;
        }
        const uint64_t start = head.status == 206 ? *head.rangeStart : 0;
        if (start > resumed) {
            return Verdict::Restart;
        }
        if (start != resumed) {
            if (!transfer.file.Truncate(start)) {
                return Verdict::FileError;
            }
            m_nReceived.store(start);
        }
    }
    const uint64_t received = m_nReceived.load();
    if (*head.contentLength > m_nMaxBytes || received > m_nMaxBytes - *head.contentLength) {
        return Verdict::TooLarge;
    }
    transfer.lengthKnown = true;
    const uint64_t total = *head.contentLength + received;
    m_nTotal.store(total);
    PostSize(HTTPGET_SIZE, total);
    return Verdict::Accept;
}

bool CHttpGetJob::WriteChunk(Transfer& transfer, const char* data, size_t size) {
    uint64_t received = m_nReceived.load();
    if (transfer.lengthKnown) {
        // Bytes past the announced length are not part of the file.
        const uint64_t total = m_nTotal.load();
        size =
            received >= total ? 0 : static_cast<size_t>(std::min<uint64_t>(size, total - received));
        if (size == 0) {
            return true;
        }
    } else if (size > m_nMaxBytes - std::min(received, m_nMaxBytes)) {
        transfer.capReached = true;
        return false;
    }
    if (!transfer.file.Write(data, size)) {
        transfer.writeFailed = true;
        return false;
    }
    received += size;
    m_nReceived.store(received);
    PostSize(HTTPGET_PROGRESS, received);
    return true;
}

bool CHttpGetJob::PrepareRetry(Transfer& transfer, Verdict verdict) {
    bool nothingReceived = m_nReceived.load() == 0;
    switch (verdict) {
        case Verdict::Redirect:
            if (!transfer.redirectUrl.empty() && ++transfer.redirects <= kMaxRedirects) {
                transfer.url = transfer.redirectUrl;
                return true;
            }
            [[fallthrough]];
        case Verdict::None:
            // No usable answer: the request could not be made, or it leads nowhere.
            if (nothingReceived) {
                RemoveFile(transfer.partPath);
            }
            Post(HTTPGET_ERR_REQUEST, 0);
            return false;
        case Verdict::Restart:
            if (!RemoveFile(transfer.partPath)) {
                Post(HTTPGET_ERR_FILE, transfer.status);
                return false;
            }
            if (++transfer.restarts > kMaxRestarts) {
                Post(HTTPGET_ERR_HTTP, transfer.status);
                return false;
            }
            return true;
        case Verdict::FileError:
            Post(HTTPGET_ERR_FILE, 0);
            return false;
        case Verdict::Refused:
            if (nothingReceived) {
                RemoveFile(transfer.partPath);
            }
            Post(HTTPGET_ERR_REQUEST, 0);
            return false;
        case Verdict::TooLarge:
            RemoveFile(transfer.partPath);
            Post(HTTPGET_ERR_FILE, 0);
            return false;
        case Verdict::HttpError:
        case Verdict::Accept:
            break;
    }
    if (nothingReceived) {
        RemoveFile(transfer.partPath);
    }
    Post(HTTPGET_ERR_HTTP, transfer.status);
    return false;
}

unsigned CHttpGetJob::Conclude(Transfer& transfer, bool accepted, HttpRequestResult result) {
    transfer.file.Close();
    if (transfer.capReached) {
        RemoveFile(transfer.partPath);
        Post(HTTPGET_ERR_FILE, 0);
        return kFailedExitCode;
    }
    if (transfer.writeFailed) {
        Post(HTTPGET_ERR_FILE, 0);
        return kFailedExitCode;
    }
    // A file is complete only when every announced byte arrived and the exchange did not fail.
    const bool ended =
        result == HttpRequestResult::Completed || result == HttpRequestResult::Stopped;
    if (accepted && transfer.lengthKnown && ended && m_nReceived.load() == m_nTotal.load()) {
        return Finish(transfer);
    }
    if (m_nRunning.load() == 0) {
        Post(HTTPGET_STOPPED, 0);
        return 0;
    }
    if (transfer.lengthKnown || result != HttpRequestResult::Completed) {
        Post(HTTPGET_ERR_INCOMPLETE, 0);
        return 0;
    }
    return Finish(transfer);
}

unsigned CHttpGetJob::Finish(const Transfer& transfer) {
    // rename replaces a file already under the final name.
    std::error_code error;
    fs::rename(transfer.partPath, PathFromWide(transfer.finalPath), error);
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
