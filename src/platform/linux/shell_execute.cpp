// Starting programs (g_spawn, detached) and opening web addresses in the user's browser.
#include <gio/gio.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/linux/display_session.h"
#include "platform/linux/wide_text.h"
#include "platform/shell_execute.h"

namespace {

constexpr INT_PTR kStarted = 42;  // any value above 32 means success

// A host name of letters, digits, dots, hyphens and underscores, or a bracketed IPv6 address.
bool IsHostName(const char* host) {
    if (host == nullptr || host[0] == '\0') {
        return false;
    }
    if (host[0] == '[') {
        return g_hostname_is_ip_address(host);
    }
    for (const char* c = host; *c != '\0'; ++c) {
        if (!g_ascii_isalnum(*c) && *c != '.' && *c != '-' && *c != '_') {
            return false;
        }
    }
    return true;
}

bool IsWebAddress(const std::string& url) {
    for (unsigned char c : url) {
        if (c <= ' ' || c == 0x7F) {
            return false;  // spaces and control characters are never part of an address
        }
    }
    GUri* uri = g_uri_parse(url.c_str(), G_URI_FLAGS_NONE, nullptr);
    if (uri == nullptr) {
        return false;
    }
    const char* scheme = g_uri_get_scheme(uri);
    const char* host = g_uri_get_host(uri);
    const bool web =
        (g_ascii_strcasecmp(scheme, "http") == 0 || g_ascii_strcasecmp(scheme, "https") == 0) &&
        IsHostName(host);
    g_uri_unref(uri);
    return web;
}

bool HasScheme(const std::string& text) {
    return g_uri_peek_scheme(text.c_str()) != nullptr;
}

INT_PTR StartProgram(const std::string& program, const std::string& parameters,
                     const std::string& directory) {
    gchar* path = program.find('/') != std::string::npos ? g_strdup(program.c_str())
                                                         : g_find_program_in_path(program.c_str());
    if (path == nullptr || !g_file_test(path, G_FILE_TEST_EXISTS)) {
        g_free(path);
        return SE_ERR_FNF;
    }
    if (g_file_test(path, G_FILE_TEST_IS_DIR) || access(path, X_OK) != 0) {
        g_free(path);
        return SE_ERR_ACCESSDENIED;
    }
    gchar** words = nullptr;
    gint count = 0;
    if (!parameters.empty() && !g_shell_parse_argv(parameters.c_str(), &count, &words, nullptr)) {
        g_free(path);
        return SE_ERR_FNF;
    }
    std::vector<gchar*> argv{path};
    for (gint i = 0; i < count; ++i) {
        argv.push_back(words[i]);
    }
    argv.push_back(nullptr);
    // Its own folder by default, as the original starts a program there when none is given.
    gchar* folder = directory.empty() ? g_path_get_dirname(path) : g_strdup(directory.c_str());
    // Without DO_NOT_REAP_CHILD GLib reaps the child itself; the child keeps none of our
    // descriptors (the single-instance lock among them).
    gchar** environment = platform::session::ChildEnvironment();
    const gboolean started = g_spawn_async(folder, argv.data(), environment, G_SPAWN_DEFAULT,
                                           nullptr, nullptr, nullptr, nullptr);
    g_strfreev(environment);
    g_free(folder);
    g_strfreev(words);
    g_free(path);
    return started ? kStarted : SE_ERR_ACCESSDENIED;
}

}  // namespace

INT_PTR ShellExecuteW(HWND, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                      LPCWSTR lpDirectory, INT) {
    if (lpFile == nullptr || lpFile[0] == L'\0' ||
        (lpOperation != nullptr && std::wstring(lpOperation) != L"open")) {
        return SE_ERR_NOASSOC;
    }
    const std::string file = platform::detail::ToUtf8(lpFile);
    const std::string parameters =
        lpParameters != nullptr ? platform::detail::ToUtf8(lpParameters) : std::string();
    // Addresses open only in the browser; no other scheme has a handler here.
    if (HasScheme(file)) {
        return parameters.empty() && platform::OpenUrlInBrowser(lpFile) ? kStarted : SE_ERR_NOASSOC;
    }
    const std::string directory =
        lpDirectory != nullptr ? platform::detail::ToUtf8(lpDirectory) : std::string();
    return StartProgram(file, parameters, directory);
}

namespace platform {

bool OpenUrlInBrowser(const std::wstring& url) {
    const std::string text = detail::ToUtf8(url);
    if (!IsWebAddress(text)) {
        return false;
    }
    GError* error = nullptr;
    GAppLaunchContext* context = g_app_launch_context_new();
    session::PrepareLaunch(context);
    const gboolean opened = g_app_info_launch_default_for_uri(text.c_str(), context, &error);
    g_object_unref(context);
    if (error != nullptr) {
        g_printerr("cannot open %s in a browser: %s\n", text.c_str(), error->message);
        g_error_free(error);
    }
    return opened != FALSE;
}

}  // namespace platform
