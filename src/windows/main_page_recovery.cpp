#include "windows/main_page_recovery.h"

#include <cstdio>

#include "platform/text_encoding.h"

CMainPageRecovery::Action CMainPageRecovery::OnNavigateError() {
    ++m_nReloads;
    if (m_nReloads <= kMaxReloads) {
        return Action::ReloadStartPage;
    }
    // The error page is shown once; if even that fails, nothing more is tried.
    return m_nReloads == kMaxReloads + 1 ? Action::ShowErrorPage : Action::Nothing;
}

std::wstring MainPageErrorUrl() {
    static const char kPage[] =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Quorvi</title></head>"
        "<body style=\"font-family:sans-serif;margin:48px;color:#333\">"
        "<h2>Quorvi无法打开</h2>"
        "<p>程序文件夹中的页面 res/main.html 无法加载。请重新安装Quorvi。</p>"
        "</body></html>";
    std::string url = "data:text/html;charset=utf-8,";
    for (const unsigned char c : std::string(kPage)) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_' || c == '~') {
            url += static_cast<char>(c);
        } else {
            char escaped[4];
            std::snprintf(escaped, sizeof(escaped), "%%%02X", c);
            url += escaped;
        }
    }
    return Utf8ToWide(url);
}
