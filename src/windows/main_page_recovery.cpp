#include "windows/main_page_recovery.h"

#include "app/environment.h"
#include "app/helpers.h"

CMainPageRecovery::Action CMainPageRecovery::OnNavigateError() {
    ++m_nReloads;
    if (m_nReloads <= kMaxReloads) {
        return Action::ReloadStartPage;
    }
    // The error page is shown once; if even that fails, nothing more is tried.
    return m_nReloads == kMaxReloads + 1 ? Action::ShowErrorPage : Action::Nothing;
}

std::wstring WriteMainPageErrorPage() {
    static const char kPage[] =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quorvi</title></head>"
        "<body style=\"font-family:sans-serif;margin:48px;color:#333\">"
        "<h2>Quorvi无法打开</h2>"
        "<p>程序文件夹中的页面 res/main.html 无法加载。请重新安装Quorvi。</p>"
        "</body></html>";
    const std::wstring path = GetUserDataDir() + L"main_error.html";
    return WriteNarrowFile(path.c_str(), kPage) ? path : std::wstring();
}
