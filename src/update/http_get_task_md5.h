// The download task of the updater: the finished file's digest is ready with HTTPGET_DONE.
#pragma once

#include <string>

#include "update/http_get_task.h"

class CHttpGetTaskMD5 : public CHttpGetTask {
public:
    CHttpGetTaskMD5() = default;
    ~CHttpGetTaskMD5() override;

    // The digest the next finished file gets: MD5 (the default) or SHA-256.
    void SetWantSHA256(bool sha256) { m_bWantSHA256 = sha256; }
    // 32 lower-case hexadecimal digits of the last finished file; empty when it could not be
    // computed (or the file is empty) or SHA-256 was wanted.
    const std::wstring& GetMD5() const { return m_strMD5; }
    // 64 lower-case hexadecimal digits of the last finished file when SHA-256 was wanted.
    const std::wstring& GetSHA256() const { return m_strSHA256; }

protected:
    void OnDownloaded() override;

private:
    bool m_bWantSHA256 = false;
    std::wstring m_strMD5;
    std::wstring m_strSHA256;
};
