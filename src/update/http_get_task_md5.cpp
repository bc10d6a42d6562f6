#include "update/http_get_task_md5.h"

#include "app/helpers.h"

CHttpGetTaskMD5::~CHttpGetTaskMD5() {
    // Stopped here, while OnDownloaded still names this class, not in the base destructor.
    Stop();
    m_strMD5.clear();
}

void CHttpGetTaskMD5::OnDownloaded() {
    // Only the wanted digest is computed: update files can be large.
    m_strMD5.clear();
    m_strSHA256.clear();
    if (m_bWantSHA256) {
        m_strSHA256 = SHA256OfFile(GetFilePath().c_str());
    } else {
        m_strMD5 = MD5OfFile(GetFilePath().c_str());
    }
}
