#include "update/http_get_task_md5.h"

#include "app/helpers.h"

CHttpGetTaskMD5::~CHttpGetTaskMD5() {
    // Stopped here, while OnDownloaded still names this class, not in the base destructor.
    Stop();
    m_strMD5.clear();
}

void CHttpGetTaskMD5::OnDownloaded() {
    m_strMD5 = MD5OfFile(GetFilePath().c_str());
}
