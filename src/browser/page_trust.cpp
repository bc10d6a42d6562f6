#include "browser/page_trust.h"

#include <filesystem>
#include <system_error>

#include "app/helpers.h"
#include "build_config.h"
#include "config/ini_section.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

namespace {

constexpr const wchar_t kTestIniSection[] = L"CLIENT_PROFILE_SHEET";

// The value of key in test.ini beside the executable, or fallback without the file or the key.
std::wstring TestIniValue(const std::wstring& key, const std::wstring& fallback) {
    std::wstring testIni = GetModuleDirectory(nullptr) + L"test.ini";
    std::error_code error;
    if (!std::filesystem::exists(PathFromWide(testIni), error)) {
        return fallback;
    }
    return CIniSection(testIni, kTestIniSection).ReadString(key, fallback);
}

}  // namespace

std::wstring GetServiceWebHost() {
    return TestIniValue(L"WEB_HOST", Utf8ToWide(SONGDECK_WEB_HOST));
}

std::wstring GetServiceDesktopHost() {
    return TestIniValue(L"DESKTOP_HOST", Utf8ToWide(SONGDECK_DESKTOP_HOST));
}

bool IsServiceHttpsOnly() {
    std::wstring value = TestIniValue(L"HTTPS_ONLY", SONGDECK_SERVICE_HTTPS_ONLY ? L"1" : L"0");
    return value != L"0";
}

platform::CTrustedPages GetTrustedPages() {
    platform::CTrustedPages trusted;
    trusted.AddFolder(GetModuleDirectory(nullptr) + L"res");
    trusted.AddHost(GetServiceWebHost());
    trusted.AddHost(GetServiceDesktopHost());
    trusted.SetHttpsOnly(IsServiceHttpsOnly());
    return trusted;
}
