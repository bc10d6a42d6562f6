// The update engine: fetches the manifest, decides whether a newer version exists, collects
// its notes and files, drops files already present, downloads and verifies the rest.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "update/file_check_job.h"
#include "update/msg_receiver.h"
#include "update/n_thread.h"

namespace platform {
class CXmlNode;
}

class CNotifyProxy;
class CHttpGetTaskMD5;

class CUpdater : public IMsgReceiver, public utility::NThread {
public:
    static constexpr UINT kDefaultMsgId = 3024;
    static constexpr UINT kDefaultTimerId = 3025;
    static constexpr UINT kProgressPeriodMs = 200;
    // Consecutive MD5 mismatches that end a run.
    static constexpr int kMaxMismatches = 3;

    CUpdater(CNotifyProxy* proxy, LONGLONG currentVersion, const std::wstring& userAgent);
    // Does not stop a run; derived classes stop it first.
    ~CUpdater() override;

    void OnMsg(UINT msg, WPARAM wParam, LPARAM lParam) override;
    virtual BOOL CheckUpdate(const std::wstring& url, const std::wstring& dir,
                             const std::wstring& id, const std::wstring& proxy,
                             const std::wstring& proxyUser, const std::wstring& proxyPassword);
    virtual void StopUpdate();
    // Called with m_nState 1 when a newer version's notes and files are known.
    virtual void OnNewVersion();
    // 0 failed, 1 every file present and verified, 2 no newer version.
    virtual void OnUpdateFinished(int result) = 0;
    virtual void OnProgress(int percent) {}

    // The worker's body: the file check, run on the current thread (the worker started by
    // OnNewVersion runs the same job).
    unsigned Run() override { return CheckExistingFiles(); }
    // Drops from the downloads every file already in the update directory with its MD5, then
    // posts the end of the check to the proxy.
    unsigned CheckExistingFiles();

    // Replaces url with the http URL of serverurl.txt beside the executable, if there is one.
    static BOOL ApplyServerUrlOverride(std::wstring& url);

    int GetState() const { return m_nState; }
    const std::wstring& GetManifestPath() const { return m_strManifestPath; }
    const std::wstring& GetDirectory() const { return m_strDir; }
    const std::wstring& GetDescription() const { return m_strDesc; }
    const std::wstring& GetLog() const { return m_strLog; }

    // Whether the manifest of the run verified with a built-in key.
    bool IsManifestSigned() const { return m_bSigned; }
    const std::wstring& GetSignaturePath() const { return m_strSignaturePath; }

protected:
    // Parses the manifest file at m_strManifestPath (as downloaded, or verified).
    void ParseManifest();
    void ParseManifestBytes(const std::string& bytes);
    void OnManifestDownloaded();
    void OnSignatureDownloaded();
    // The manifest URL with the signature suffix before its query.
    std::wstring GetSignatureUrl() const;
    // Removes a manifest (and its signature) that is not to be used.
    void StartNextDownload();
    void ParseDescription(const platform::CXmlNode& root);
    static void GetLogLines(const platform::CXmlNode& log, std::wstring& out);
    // False when the files cannot be staged (see CanStageFiles); the lists are then empty.
    bool ParseFileList(const platform::CXmlNode& root);
    void StartDownloads();
    void OnFileDownloaded();
    // Starts the file-check worker on the files of the parsed manifest; the worker holds its
    // job, never this object.
    void StartFileCheck();
    void StopFileCheck();
    // Ends the run: what the check fetched goes unless it is to be staged (result 1).
    void Finish(int result);
    void RemoveCheckFiles();
    void LogFailedDownload(WPARAM code, LPARAM value) const;

    int m_nState = 0;
    std::wstring m_strManifestPath;
    std::wstring m_strUrl;
    std::wstring m_strDir;
    std::wstring m_strDesc;
    std::wstring m_strLog;
    std::vector<std::wstring> m_names;
    // The file names of m_downloads, side by side: the names the manifest derived.
    std::vector<std::wstring> m_downloadNames;
    std::wstring m_strUserAgent;
    CHttpGetTaskMD5* m_pTask = nullptr;
    std::vector<DownloadEntry> m_downloads;
    CNotifyProxy* m_pProxy;
    UINT m_nMsgId = kDefaultMsgId;
    UINT m_nTimerId = kDefaultTimerId;
    LONGLONG m_nCurrentVersion;
    LONGLONG m_nNewVersion = 0;
    double m_dShare = 0;
    double m_dDone = 0;
    int m_nFailures = 0;
    std::wstring m_strSignaturePath;
    bool m_bFetchingSignature = false;
    bool m_bSigned = false;

private:
    std::shared_ptr<CFileCheckJob> MakeFileCheckJob() const;

    // Whether m_nMsgId and m_nTimerId are bound on the proxy by this object.
    bool m_bRegistered = false;
    std::shared_ptr<CFileCheckJob> m_pJob;
};
