// Until the windows exist, the client shows the environment it would run in.
#include <cstdio>
#include <string>

#include "app/environment.h"
#include "app/log.h"
#include "config/client_options.h"
#include "platform/text_encoding.h"

namespace {

void PrintLine(const char* name, const std::wstring& value) {
    std::printf("%-14s %s\n", name, WideToUtf8(value).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    PrintLine("version", GetAppVersionString());
    PrintLine("version number", std::to_wstring(GetAppVersionNumber()));
    PrintLine("user data", GetUserDataDir());
    PrintLine("shared data", GetSharedDataDir());
    PrintLine("common vendor", GetCommonVendorDir());
    PrintLine("common data", GetCommonDataDir());
    PrintLine("config", GetConfigIniPath());
    PrintLine("user agent", GetUserAgent());
    PrintLine("client id", GetClientId());
    PrintLine("manifest", GetUpdateManifestUrl());
    PrintLine("autorun name", GetAutoRunValueName());
    PrintLine("autorun", GetAutoRunCommand());
    PrintLine("autorun on", IsAutoRunEnabled() ? L"yes" : L"no");
    std::fflush(stdout);
    WriteLog(info, L"%ls", L"\u542F\u52A8\u7A0B\u5E8F");
    return 0;
}
