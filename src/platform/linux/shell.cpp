#include "platform/shell.h"

#include <gio/gio.h>

#include "platform/text_encoding.h"
#include "platform/url_parts.h"

namespace platform {

bool OpenUrlInBrowser(const std::wstring& url) {
    CUrlParts parts;
    if (!parts.Parse(url) || (parts.m_strScheme != L"http" && parts.m_strScheme != L"https") ||
        parts.m_strHost.empty()) {
        return false;
    }
    GError* error = nullptr;
    gboolean launched = g_app_info_launch_default_for_uri(WideToUtf8(url).c_str(), nullptr, &error);
    if (error != nullptr) {
        g_error_free(error);
    }
    return launched != FALSE;
}

}  // namespace platform
