#include "update/updater.h"

#include <algorithm>
#include <cwctype>

#include "app/helpers.h"
#include "app/log.h"
#include "platform/files.h"
#include "platform/messages.h"
#include "platform/thread.h"
#include "platform/xml_document.h"
#include "update/http_get_task_md5.h"
#include "update/manifest_files.h"
#include "update/manifest_trust.h"
#include "update/notify_proxy.h"
#include "update/update_files.h"
#include "update/xml_document.h"

namespace {

constexpr WPARAM kDone = HTTPGET_DONE;
constexpr WPARAM kFirstFailure = 1;
constexpr WPARAM kLastFailure = 8;
constexpr wchar_t kHttpScheme[] = L"http://";
constexpr size_t kHttpSchemeLength = 7;
constexpr size_t kSha256Digits = 64;

bool StartsWithIgnoringCase(const std::wstring& text, const wchar_t* prefix, size_t length) {
    if (text.size() < length) {
        return false;
    }
    for (size_t i = 0; i < length; ++i) {
        if (std::towlower(static_cast<wint_t>(text[i])) !=
            std::towlower(static_cast<wint_t>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

CUpdater::CUpdater(CNotifyProxy* proxy, LONGLONG currentVersion, const std::wstring& userAgent)
    : m_strUserAgent(userAgent), m_pProxy(proxy), m_nCurrentVersion(currentVersion) {}

CUpdater::~CUpdater() {
    // The owner stops the run first; whatever is left is only released here.
    delete m_pTask;
    m_pTask = nullptr;
    if (m_pJob) {
        m_pJob->m_bStop.store(true);
    }
}

BOOL CUpdater::CheckUpdate(const std::wstring& url, const std::wstring& dir, const std::wstring& id,
                           const std::wstring& proxy, const std::wstring& proxyUser,
                           const std::wstring& proxyPassword) {
    std::wstring directory = dir.empty() ? GetModuleDirectory(nullptr) : dir;
    if (!directory.empty() && directory.back() != kPathSeparator && directory.back() != L'/') {
        directory += kPathSeparator;
    }

    m_strUrl = url;
    ApplyServerUrlOverride(m_strUrl);
    m_strUrl += L"?id=" + id + L"&ver=" + std::to_wstring(m_nCurrentVersion);

    m_strDir = directory;
    CreateDirectoryPath(m_strDir.c_str());
    m_nState = 0;
    m_bFetchingSignature = false;
    m_bSigned = false;
    m_strSignaturePath.clear();
    m_strManifestPath.clear();
    m_nNewVersion = 0;
    LogManifestTrustOnce();
    // The query carries the client id, which stays out of the log.
    WriteLog(info, L"update: checking %ls for a version newer than %lld",
             UrlPathOf(m_strUrl).c_str(), static_cast<long long>(m_nCurrentVersion));

    // A failed registration asks for the usual id again next time.
    m_nMsgId = m_pProxy->RegisterReceiver(m_nMsgId != 0 ? m_nMsgId : kDefaultMsgId, this);
    m_nTimerId = m_pProxy->RegisterReceiver(m_nTimerId != 0 ? m_nTimerId : kDefaultTimerId, this);
    m_bRegistered = true;
    if (m_nTimerId != 0) {
        SetTimer(m_pProxy->GetSafeHwnd(), m_nTimerId, kProgressPeriodMs, nullptr);
    }
    if (m_nMsgId == 0 || m_nTimerId == 0) {
        return FALSE;
    }

    m_pTask = new CHttpGetTaskMD5();
    m_pTask->Init(m_pProxy->GetSafeHwnd(), m_nMsgId, m_strUserAgent.c_str(), proxy.c_str(),
                  proxyUser.c_str(), proxyPassword.c_str());
    m_pTask->Stop();
    m_pTask->SetMaxBytes(kMaxManifestBytes);
    m_pTask->Start(m_strDir.c_str(), m_strUrl.c_str(), kCheckManifestName);
    return TRUE;
}

BOOL CUpdater::ApplyServerUrlOverride(std::wstring& url) {
    const std::wstring path = GetModuleDirectory(nullptr) + L"serverurl.txt";
    std::wstring text = ReadTextFile(path.c_str());
    // A line break after the URL would end up inside the request line.
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'\t')) {
        text.pop_back();
    }
    if (text.size() > kHttpSchemeLength &&
        StartsWithIgnoringCase(text, kHttpScheme, kHttpSchemeLength)) {
        url = text;
        return TRUE;
    }
    return FALSE;
}

void CUpdater::OnMsg(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == m_nMsgId && m_nMsgId != 0) {
        if (wParam == kDone) {
            switch (m_nState) {
                case 0:
                    if (m_pTask == nullptr || m_pTask->GetFileName() == nullptr) {
                        return;
                    }
                    if (m_bFetchingSignature) {
                        OnSignatureDownloaded();
                    } else {
                        OnManifestDownloaded();
                    }
                    break;
                case 1:
                    // Only the worker's own report ends the file check.
                    if (!m_pJob || !m_pJob->m_bFinished.load()) {
                        return;
                    }
                    m_downloads = m_pJob->m_downloads;
                    m_downloadNames = m_pJob->m_leftNames;
                    m_dShare = m_pJob->m_dShare;
                    WriteLog(info, L"update: %d files already in place, %d to download",
                             static_cast<int>(m_names.size() -
                                              std::min(m_names.size(), m_downloads.size())),
                             static_cast<int>(m_downloads.size()));
                    m_nState = 2;
                    StartDownloads();
                    break;
                default:
                    OnFileDownloaded();
                    break;
            }
        } else if (wParam >= kFirstFailure && wParam <= kLastFailure) {
            LogFailedDownload(wParam, lParam);
            Finish(0);
        }
        return;
    }
    if (msg == m_nTimerId && m_nTimerId != 0 && m_nState == 2 && m_dShare != 0 &&
        m_pTask != nullptr) {
        const int percent = m_pTask->GetPercent();
        if (static_cast<unsigned>(percent) <= 100) {
            OnProgress(static_cast<int>(percent / 100.0 * m_dShare + m_dDone));
        }
    }
}

void CUpdater::LogFailedDownload(WPARAM code, LPARAM value) const {
    const LPCWSTR what = m_nState == 2 && !m_downloads.empty() ? L"file"
                         : m_bFetchingSignature                ? L"manifest's signature"
                                                               : L"manifest";
    const std::wstring url =
        m_nState == 2 && !m_downloads.empty() ? UrlPathOf(m_downloads.front().first) : L"";
    WriteLog(info, L"update: the %ls %ls could not be downloaded (error %d, %ld)", what,
             url.c_str(), static_cast<int>(code), static_cast<long>(value));
}

void CUpdater::Finish(int result) {
    StopUpdate();
    if (result != 1) {
        RemoveCheckFiles();
    }
    switch (result) {
        case 1:
            WriteLog(info, L"update: every file of version %lld is downloaded and verified",
                     static_cast<long long>(m_nNewVersion));
            break;
        case 2:
            WriteLog(info, L"update: no newer version (the manifest names %lld)",
                     static_cast<long long>(m_nNewVersion));
            break;
        default:
            WriteLog(info, L"update: the check ended without an update");
            break;
    }
    OnUpdateFinished(result);
}

void CUpdater::RemoveCheckFiles() {
    for (const wchar_t* name : {kCheckManifestName, kCheckSignatureName}) {
        DeleteFileAt(m_strDir + name);
        DeleteFileAt(m_strDir + name + L".part");
    }
}

std::wstring CUpdater::GetSignatureUrl() const {
    const size_t query = m_strUrl.find(L'?');
    if (query == std::wstring::npos) {
        return m_strUrl + kManifestSignatureSuffix;
    }
    return m_strUrl.substr(0, query) + kManifestSignatureSuffix + m_strUrl.substr(query);
}

void CUpdater::OnManifestDownloaded() {
    m_strManifestPath = m_strDir + m_pTask->GetFileName();
    m_strSignaturePath.clear();
    m_bSigned = false;
    if (!HasManifestKeys()) {
        m_nState = 1;
        ParseManifest();
        return;
    }
    // The signature is fetched the same way; nothing is parsed before it verified.
    m_bFetchingSignature = true;
    m_pTask->Stop();
    m_pTask->SetMaxBytes(kManifestSignatureBytes);
    m_pTask->Start(m_strDir.c_str(), GetSignatureUrl().c_str(), kCheckSignatureName);
}

void CUpdater::OnSignatureDownloaded() {
    m_bFetchingSignature = false;
    m_strSignaturePath = m_strDir + m_pTask->GetFileName();
    m_nState = 1;
    std::string manifest;
    std::string signature;
    if (!ReadWholeFile(m_strManifestPath, kMaxManifestBytes, manifest) ||
        !ReadWholeFile(m_strSignaturePath, kManifestSignatureBytes, signature) ||
        !VerifyManifestSignature(manifest, signature)) {
        WriteLog(info, L"update: the manifest's signature does not verify");
        Finish(0);
        return;
    }
    m_bSigned = true;
    // The verified bytes are parsed, not the file again.
    ParseManifestBytes(manifest);
}

void CUpdater::ParseManifest() {
    std::string bytes;
    if (!ReadWholeFile(m_strManifestPath, kMaxManifestBytes, bytes)) {
        Finish(0);
        return;
    }
    ParseManifestBytes(bytes);
}

void CUpdater::ParseManifestBytes(const std::string& bytes) {
    platform::CXmlDocument document;
    if (FAILED(LoadXmlBytes(bytes, document))) {
        WriteLog(info, L"update: the manifest cannot be read");
        Finish(0);
        return;
    }
    const platform::CXmlNode root = document.Root().SelectSingle("updater");
    if (!root) {
        WriteLog(info, L"update: the manifest cannot be read");
        Finish(0);
        return;
    }
    std::wstring version;
    GetNodeText(root, "version", version);
    m_nNewVersion = ParseInt64(version);
    if (m_nNewVersion > m_nCurrentVersion) {
        ParseDescription(root);
        if (!ParseFileList(root)) {
            WriteLog(info, L"update: the manifest's file list cannot be staged");
            Finish(0);
            return;
        }
        WriteLog(info, L"update: version %lld found%ls, %d files",
                 static_cast<long long>(m_nNewVersion), m_bSigned ? L" (signed)" : L"",
                 static_cast<int>(m_downloads.size()));
        OnNewVersion();
    } else {
        // An older release, however well signed, is a step back to flaws since mended.
        if (m_nNewVersion < m_nCurrentVersion) {
            WriteLog(warning,
                     L"update: the manifest's version %I64d is older than the installed %I64d",
                     m_nNewVersion, m_nCurrentVersion);
        }
        Finish(2);
    }
}

void CUpdater::ParseDescription(const platform::CXmlNode& root) {
    m_strDesc.clear();
    m_strLog.clear();
    const platform::CXmlNode des = root.SelectSingle("des");
    if (!des) {
        return;
    }
    for (platform::CXmlNode child = des.FirstChild(); child; child = child.NextSibling()) {
        const platform::CXmlNode first = child.FirstChild();
        if (!first) {
            continue;
        }
        if (first.Name() != "ver") {
            break;
        }
        const LONGLONG version = ParseInt64(GetDomText(first));
        const platform::CXmlNode log = child.SelectSingle("log");
        if (!log) {
            continue;
        }
        if (version == m_nNewVersion) {
            GetLogLines(log, m_strDesc);
            m_strLog += m_strDesc;
            m_strLog += L"\r\n";
        } else if (version > m_nCurrentVersion) {
            std::wstring lines;
            GetLogLines(log, lines);
            m_strLog += lines;
            m_strLog += L"\r\n";
        }
    }
}

void CUpdater::GetLogLines(const platform::CXmlNode& log, std::wstring& out) {
    for (const platform::CXmlNode& line : log.SelectAll("line")) {
        out += GetDomText(line);
        out += L"\r\n";
    }
}

bool CUpdater::ParseFileList(const platform::CXmlNode& root) {
    const size_t slash = m_strUrl.rfind(L'/');
    if (slash == std::wstring::npos || slash == 0) {
        return true;
    }
    const std::wstring base = m_strUrl.substr(0, slash + 1);
    m_downloads.clear();
    m_names.clear();
    std::vector<ManifestFile> needed;
    for (ManifestFile& file : ReadManifestFiles(root)) {
        if (file.IsNeededBy(m_nCurrentVersion)) {
            needed.push_back(std::move(file));
        }
    }
    // Checked before any request: a signed manifest names a digest for every file.
    if (!CanStageFiles(needed, m_bSigned)) {
        return false;
    }
    for (const ManifestFile& file : needed) {
        m_downloads.emplace_back(base + file.link, file.digest);
        m_names.push_back(file.name);
    }
    return true;
}

void CUpdater::OnNewVersion() {
    StartFileCheck();
}

std::shared_ptr<CFileCheckJob> CUpdater::MakeFileCheckJob() const {
    auto job = std::make_shared<CFileCheckJob>();
    job->m_strDir = m_strDir;
    job->m_names = m_names;
    job->m_downloads = m_downloads;
    job->m_hNotifyWnd = m_pProxy->GetSafeHwnd();
    job->m_nMsgId = m_nMsgId;
    return job;
}

unsigned CUpdater::CheckExistingFiles() {
    m_pJob = MakeFileCheckJob();
    m_pJob->Run();
    return 0;
}

void CUpdater::StartFileCheck() {
    if (m_hThread != nullptr) {
        return;
    }
    m_pJob = MakeFileCheckJob();
    m_hThread = BeginJobThread(m_pJob, &CFileCheckJob::Run, &m_nThreadId);
}

void CUpdater::StopFileCheck() {
    if (m_pJob) {
        m_pJob->m_bStop.store(true);
        m_pJob.reset();
    }
    if (m_hThread != nullptr) {
        // A worker still hashing after the wait goes on detached with its own job and posts
        // nothing.
        WaitForSingleObject(m_hThread, 100);
        CloseHandle(m_hThread);
        m_hThread = nullptr;
        m_nThreadId = 0;
    }
}

void CUpdater::StartNextDownload() {
    const DownloadEntry& front = m_downloads.front();
    const bool named = !m_downloadNames.empty() && !m_downloadNames.front().empty();
    m_pTask->Stop();
    m_pTask->SetMaxBytes(CHttpGetTask::GetDefaultMaxBytes());
    m_pTask->SetWantSHA256(front.second.size() == kSha256Digits);
    m_pTask->Start(m_strDir.c_str(), front.first.c_str(),
                   named ? m_downloadNames.front().c_str() : nullptr);
}

void CUpdater::StartDownloads() {
    if (!m_downloads.empty() && m_pTask != nullptr) {
        StartNextDownload();
    } else {
        Finish(m_downloads.empty() ? 1 : 0);
    }
}

void CUpdater::OnFileDownloaded() {
    if (m_pTask == nullptr || m_downloads.empty()) {
        return;
    }
    const LPCWSTR fileName = m_pTask->GetFileName();
    const std::wstring path = m_strDir + (fileName != nullptr ? fileName : L"");
    const DownloadEntry& front = m_downloads.front();
    const std::wstring& computed =
        front.second.size() == kSha256Digits ? m_pTask->GetSHA256() : m_pTask->GetMD5();
    const bool good = front.second.empty() || front.second == computed;
    const std::wstring name = fileName != nullptr ? fileName : L"";
    if (good) {
        WriteLog(info,
                 front.second.empty() ? L"update: \"%ls\" downloaded (no digest to check)"
                                      : L"update: \"%ls\" downloaded and verified",
                 name.c_str());
        m_downloads.erase(m_downloads.begin());
        if (!m_downloadNames.empty()) {
            m_downloadNames.erase(m_downloadNames.begin());
        }
        m_dDone += m_dShare;
        m_nFailures = 0;
        OnProgress(static_cast<int>(m_dDone));
    } else {
        DeleteFileAt(path);
        ++m_nFailures;
        WriteLog(info, L"update: \"%ls\" does not match its digest (%d of %d)", name.c_str(),
                 m_nFailures, kMaxMismatches);
    }

    if (m_nFailures >= kMaxMismatches) {
        Finish(0);
    } else if (!m_downloads.empty()) {
        StartNextDownload();
    } else {
        Finish(1);
    }
}

void CUpdater::StopUpdate() {
    if (m_pTask != nullptr) {
        m_pTask->Stop();
        delete m_pTask;
        m_pTask = nullptr;
    }
    StopFileCheck();
    if (m_bRegistered && m_pProxy != nullptr) {
        m_pProxy->UnregisterReceiver(m_nMsgId);
        m_pProxy->UnregisterReceiver(m_nTimerId);
        KillTimer(m_pProxy->GetSafeHwnd(), m_nTimerId);
        m_bRegistered = false;
    }
}
