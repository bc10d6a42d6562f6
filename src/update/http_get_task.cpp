#include "update/http_get_task.h"

#include <atomic>
#include <cstdlib>
#include <mutex>

#include "build_config.h"
#include "platform/files.h"
#include "platform/text_encoding.h"
#include "platform/thread.h"
#include "update/http_get_job.h"
#include "platform/http_request.h"

namespace {

constexpr uint32_t kDefaultMinimumBytesPerSecond = 1024;
constexpr unsigned kDefaultSpeedWindowMs = 30000;

std::atomic<unsigned> g_nStallTimeoutMs{60000};
std::atomic<uint32_t> g_nMinimumBytesPerSecond{kDefaultMinimumBytesPerSecond};
std::atomic<unsigned> g_nSpeedWindowMs{kDefaultSpeedWindowMs};
std::mutex g_authoritiesMutex;
std::string g_strAuthorities;

}  // namespace

CHttpGetTask::CHttpGetTask() : m_nMaxBytes(GetDefaultMaxBytes()) {}

uint64_t CHttpGetTask::GetDefaultMaxBytes() {
    static const uint64_t bytes = std::strtoull(SONGDECK_UPDATE_MAX_FILE_BYTES_TEXT, nullptr, 10);
    return bytes;
}

void CHttpGetTask::SetMinimumSpeed(uint32_t bytesPerSecond, unsigned windowMs) {
    g_nMinimumBytesPerSecond.store(bytesPerSecond);
    g_nSpeedWindowMs.store(windowMs);
}

CHttpGetTask::~CHttpGetTask() {
    Stop();
}

void CHttpGetTask::SetStallTimeoutMs(unsigned milliseconds) {
    g_nStallTimeoutMs.store(milliseconds);
}

unsigned CHttpGetTask::GetStallTimeoutMs() {
    return g_nStallTimeoutMs.load();
}

void CHttpGetTask::SetCertificateAuthorities(const std::wstring& pemFile) {
    std::lock_guard<std::mutex> lock(g_authoritiesMutex);
    g_strAuthorities = PathFromWide(pemFile).string();
}

BOOL CHttpGetTask::Init(HWND notifyWnd, UINT msgId, LPCWSTR userAgent, LPCWSTR proxyServer,
                        LPCWSTR proxyUser, LPCWSTR proxyPassword) {
    m_hNotifyWnd = notifyWnd;
    m_nMsgId = msgId;
    bool useProxy = proxyServer != nullptr && *proxyServer != 0;
    // Without a proxy the system's settings apply, unless this task used a proxy before: then
    // it goes direct.
    if (useProxy) {
        m_nAccessType = kAccessProxy;
    } else {
        m_nAccessType = m_nAccessType == kAccessProxy ? kAccessDirect : kAccessSystemSettings;
    }
    m_strUserAgent = userAgent != nullptr ? userAgent : L"";
    m_strProxy = useProxy ? proxyServer : L"";
    if (useProxy) {
        m_pProxyUser.reset();
        m_pProxyPassword.reset();
        if (proxyUser != nullptr) {
            m_pProxyUser = std::make_unique<std::wstring>(proxyUser);
            if (proxyPassword != nullptr) {
                m_pProxyPassword = std::make_unique<std::wstring>(proxyPassword);
            }
        }
    }
    m_bInitialized = CHttpRequest::InitializeLibrary() ? TRUE : FALSE;
    return m_bInitialized;
}

void CHttpGetTask::Start(LPCWSTR directory, LPCWSTR url, LPCWSTR fileName) {
    // Also closes the handle of a thread that already ended.
    Stop();
    if (directory != nullptr) {
        m_strDirectory = directory;
    }
    auto job = std::make_shared<CHttpGetJob>(this);
    job->m_hNotifyWnd = m_hNotifyWnd;
    job->m_nMsgId = m_nMsgId;
    job->m_bInitialized = m_bInitialized != FALSE;
    job->m_settings.userAgent = WideToUtf8(m_strUserAgent.c_str());
    job->m_settings.direct = m_nAccessType == kAccessDirect;
    {
        std::lock_guard<std::mutex> lock(g_authoritiesMutex);
        job->m_settings.certificateAuthorities = g_strAuthorities;
    }
    if (m_nAccessType == kAccessProxy) {
        job->m_settings.proxy = WideToUtf8(m_strProxy.c_str());
        if (m_pProxyUser) {
            job->m_settings.proxyUser = WideToUtf8(m_pProxyUser->c_str());
        }
        if (m_pProxyPassword) {
            job->m_settings.proxyPassword = WideToUtf8(m_pProxyPassword->c_str());
        }
    }
    job->m_nMaxBytes = m_nMaxBytes;
    job->m_limits.stallMs = GetStallTimeoutMs();
    job->m_limits.minimumBytesPerSecond = g_nMinimumBytesPerSecond.load();
    job->m_limits.speedWindowMs = g_nSpeedWindowMs.load();
    job->m_strUrl = url != nullptr ? url : L"";
    job->m_strDirectory = m_strDirectory;
    job->m_strGivenName = fileName != nullptr ? fileName : L"";
    job->m_nRunning.store(1);
    m_pJob = job;

    m_hThread = BeginJobThread(job, &CHttpGetJob::Run, &m_nThreadId);
    if (m_hThread == nullptr) {
        job->m_nRunning.store(0);
        m_nThreadId = 0;
    }
}

void CHttpGetTask::Stop() {
    if (m_hThread == nullptr) {
        return;
    }
    m_pJob->m_nRunning.store(0);
    // The thread sees the cleared flag within a poll interval; a thread stuck elsewhere is
    // given a second chance and then left to end on its own, posting nothing more.
    if (WaitForSingleObject(m_hThread, 500) != WAIT_OBJECT_0 &&
        WaitForSingleObject(m_hThread, 1000) != WAIT_OBJECT_0) {
        m_pJob->Detach();
    }
    CloseHandle(m_hThread);
    m_hThread = nullptr;
    m_nThreadId = 0;
}

int CHttpGetTask::GetPercent() const {
    if (!m_pJob || m_pJob->m_nRunning.load() == 0) {
        return -1;
    }
    uint64_t total = m_pJob->m_nTotal.load();
    if (total == 0) {
        return -1;
    }
    uint64_t received = m_pJob->m_nReceived.load();
    return static_cast<int>(static_cast<double>(received) * 100.0 / static_cast<double>(total));
}

LPCWSTR CHttpGetTask::GetFileName() const {
    return m_pJob ? m_pJob->GetFileName() : nullptr;
}

std::wstring CHttpGetTask::GetFilePath() const {
    return m_pJob ? m_pJob->GetFilePath() : std::wstring();
}
