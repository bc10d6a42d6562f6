// One resumable HTTP download on a thread of its own, reported to a window by posted messages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/types.h"

// wParam of every notification; lParam is the value named beside it.
enum HttpGetNotification : WPARAM {
    HTTPGET_ERR_REQUEST = 1,     // 0: no file name, the request failed or too many redirects
    HTTPGET_ERR_FILE = 3,        // 0 or HTTP status: the ".part" cannot be created or written
    HTTPGET_STOPPED = 4,         // 0: Stop ended the transfer
    HTTPGET_ERR_HTTP = 5,        // HTTP status: the server answered an error
    HTTPGET_ERR_INCOMPLETE = 6,  // 0: the transfer ended before the file was complete
    HTTPGET_ERR_RENAME = 7,      // 0: the ".part" cannot take its final name
    HTTPGET_SIZE = 9,            // total size, 0 when unknown
    HTTPGET_PROGRESS = 10,       // bytes received so far, resumed bytes included
    HTTPGET_BEGIN = 11,          // 0: first message of every download
    HTTPGET_CONNECTING = 12,     // 0: before the first request
    HTTPGET_RESUME = 13,         // size of the ".part" that is continued
    HTTPGET_DONE = 14,           // 0: the file is in place under its final name
};

class CHttpGetJob;

class CHttpGetTask {
public:
    CHttpGetTask();
    virtual ~CHttpGetTask();
    CHttpGetTask(const CHttpGetTask&) = delete;
    CHttpGetTask& operator=(const CHttpGetTask&) = delete;

    // Where notifications go, how requests present themselves and the proxy to use (null or
    // empty for none). FALSE when the network library cannot be initialised.
    BOOL Init(HWND notifyWnd, UINT msgId, LPCWSTR userAgent, LPCWSTR proxyServer, LPCWSTR proxyUser,
              LPCWSTR proxyPassword);
    // Downloads url into directory (used as a prefix; a null directory keeps the previous one),
    // as fileName, or when that is null as the last segment of the URL's path.
    void Start(LPCWSTR directory, LPCWSTR url, LPCWSTR fileName = nullptr);
    // Asks the download to end and waits for it a bounded time; a thread that does not end in
    // time is left to finish on its own and posts nothing more (one inside OnDownloaded, which
    // works on this task, is waited for).
    void Stop();
    // Percent of the file received, or -1 while nothing runs or the size is unknown.
    int GetPercent() const;
    // The file name derived from the URL; null until the running download derived one.
    LPCWSTR GetFileName() const;

    // The most bytes a file of the next Start may have; a download that would grow past it
    // ends with HTTPGET_ERR_FILE and its ".part" deleted. The build's file ceiling by default.
    void SetMaxBytes(uint64_t bytes) { m_nMaxBytes = bytes; }
    static uint64_t GetDefaultMaxBytes();

    // How long a connection may stay silent before the attempt is given up (60 s by default).
    static void SetStallTimeoutMs(unsigned milliseconds);
    static unsigned GetStallTimeoutMs();
    // The least average speed over a window that keeps an attempt going (1 KiB/s over 30 s by
    // default; 0 bytes turns it off), so a server dripping bytes cannot hold a run forever.
    static void SetMinimumSpeed(uint32_t bytesPerSecond, unsigned windowMs);
    // The certificates https servers are checked against: a PEM file, or empty (the default)
    // for the system's.
    static void SetCertificateAuthorities(const std::wstring& pemFile);

protected:
    // Runs on the download thread once the file is under its final name, before HTTPGET_DONE.
    virtual void OnDownloaded() {}
    // Directory + file name of the current download.
    std::wstring GetFilePath() const;

private:
    friend class CHttpGetJob;

    HWND m_hNotifyWnd = nullptr;
    UINT m_nMsgId = 0;
    BOOL m_bInitialized = FALSE;
    // How the last Init reaches the network, with the original platform's access type values.
    enum AccessType { kAccessSystemSettings = 0, kAccessDirect = 1, kAccessProxy = 3 };
    AccessType m_nAccessType = kAccessSystemSettings;
    std::wstring m_strUserAgent;
    std::wstring m_strProxy;
    std::unique_ptr<std::wstring> m_pProxyUser;
    std::unique_ptr<std::wstring> m_pProxyPassword;
    std::wstring m_strDirectory;
    uint64_t m_nMaxBytes;

    HANDLE m_hThread = nullptr;
    unsigned m_nThreadId = 0;
    // Everything the download thread touches lives here, shared with the thread so that a
    // thread outliving Stop never reaches into a destroyed task.
    std::shared_ptr<CHttpGetJob> m_pJob;
};
