// Directories, version, autorun command, user agent and manifest URL of the client.
#include "app/environment.h"

#include <cwchar>
#include <filesystem>
#include <system_error>

#include "app/helpers.h"
#include "build_config.h"
#include "config/ini_section.h"
#include "platform/executable_suffix.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/system_info.h"

namespace {

constexpr wchar_t kVendor[] = L"Tavnel";
constexpr wchar_t kProduct[] = L"SongDeck";

std::wstring WithSeparator(std::wstring path) {
    if (path.empty() || (path.back() != L'/' && path.back() != L'\\')) {
        path += kPathSeparator;
    }
    return path;
}

// CSIDL_LOCAL_APPDATA + "/Tavnel/" + leaf + "/", created.
std::wstring LocalVendorFolder(const wchar_t* leaf) {
    std::wstring dir = GetKnownFolderPath(CSIDL_LOCAL_APPDATA) + kPathSeparator + kVendor +
                       kPathSeparator + leaf + kPathSeparator;
    CreateDirectoryPath(dir.c_str());
    return dir;
}

std::wstring Widen(const char* ascii) {
    return std::wstring(ascii, ascii + std::char_traits<char>::length(ascii));
}

}  // namespace

std::wstring GetUserDataDir() {
    return LocalVendorFolder(kProduct);
}

std::wstring GetCommonVendorDir() {
    return WithSeparator(GetKnownFolderPath(CSIDL_COMMON_APPDATA)) + kVendor + kPathSeparator;
}

std::wstring GetCommonDataDir() {
    return GetCommonVendorDir() + kProduct + kPathSeparator;
}

std::wstring GetUpdateStateDir() {
    return WithSeparator(GetKnownFolderPath(GetUpdateStageFolder())) + kVendor + kPathSeparator +
           kProduct + kPathSeparator;
}

std::wstring GetUpdateDir() {
    return GetUpdateStateDir() + L"update" + kPathSeparator;
}

std::wstring GetSharedDataDir() {
    return LocalVendorFolder(L"common");
}

std::wstring GetAppVersionString() {
    wchar_t buffer[32];
    DWORD length = 32;
    if (!GetModuleFileVersion(nullptr, buffer, &length)) {
        return {};
    }
    return buffer;
}

LONGLONG GetAppVersionNumber() {
    return VersionNumberFromText(GetAppVersionString());
}

LONGLONG VersionNumberFromText(const std::wstring& text) {
    unsigned a = 0, b = 0, c = 0;
    int d = 0;
    std::swscanf(text.c_str(), L"%u.%u.%u.%d", &a, &b, &c, &d);
    // c × 10000 is formed in 32 bits, as the version numbers the server compares were.
    return static_cast<LONGLONG>(a * 100 + b) * 100000000LL + static_cast<LONGLONG>(c * 10000u) + d;
}

std::wstring GetAutoRunCommand() {
    return L"\"" + GetModuleDirectory(nullptr) + kProduct + kExecutableSuffix + L"\" -hide";
}

std::wstring GetAutoRunValueName() {
    return std::wstring(L"TavNel") + kProduct;
}

std::wstring GetUserAgent() {
    static const std::wstring userAgent = [] {
        DWORD major = 0, minor = 0, build = 0;
        GetPlatformVersion(major, minor, build);
        wchar_t text[128];
        std::swprintf(text, 128, L"Vexla %ls (%ls %d.%d.%d)", kProduct, GetPlatformName(),
                      static_cast<int>(major), static_cast<int>(minor), static_cast<int>(build));
        return std::wstring(text);
    }();
    return userAgent;
}

std::wstring GetUpdateManifestUrl() {
    std::wstring testIni = GetModuleDirectory(nullptr) + L"test.ini";
    std::error_code error;
    if (std::filesystem::exists(PathFromWide(testIni), error)) {
        // A test.ini without the key gives an empty URL, not the default.
        return CIniSection(testIni, L"CLIENT_PROFILE_SHEET").ReadString(L"UPDATE_CONFIG_URL", L"");
    }
    return L"http://" + Widen(SONGDECK_DESKTOP_HOST) + L"/desktop/app/update/update.xml";
}
