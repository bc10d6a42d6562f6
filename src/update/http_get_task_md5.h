// The download task of the updater: the finished file's MD5 is ready with HTTPGET_DONE.
#pragma once

#include <string>

#include "update/http_get_task.h"

class CHttpGetTaskMD5 : public CHttpGetTask {
public:
    CHttpGetTaskMD5() = default;
    ~CHttpGetTaskMD5() override;

    // 32 lower-case hexadecimal digits of the last finished file; empty when it could not be
    // computed (or the file is empty).
    const std::wstring& GetMD5() const { return m_strMD5; }

protected:
    void OnDownloaded() override;

private:
    std::wstring m_strMD5;
};
