#include "update/manifest_trust.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "app/log.h"
#include "build_config.h"
#include "platform/digest.h"

namespace {

using KeyBytes = std::vector<uint8_t>;

std::mutex g_keysMutex;
std::optional<std::string> g_overrideKeys;

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    return c == '/' ? 63 : -1;
}

// Standard base64 with optional padding; empty for anything else.
KeyBytes DecodeBase64(const std::string& text) {
    KeyBytes bytes;
    uint32_t bits = 0;
    int count = 0;
    size_t end = text.find_last_not_of('=');
    if (end == std::string::npos || text.size() - end - 1 > 2) {
        return {};
    }
    for (size_t i = 0; i <= end; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) {
            return {};
        }
        bits = (bits << 6) | static_cast<uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<uint8_t>((bits >> count) & 0xFF));
        }
    }
    return bytes;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::vector<std::string> KeyTexts() {
    std::string list;
    {
        std::lock_guard<std::mutex> lock(g_keysMutex);
        list = g_overrideKeys.value_or(SONGDECK_UPDATE_KEYS);
    }
    std::vector<std::string> keys;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(';', start), list.size());
        const std::string key = Trim(list.substr(start, end - start));
        if (!key.empty()) {
            keys.push_back(key);
        }
        start = end + 1;
    }
    return keys;
}

}  // namespace

bool HasManifestKeys() {
    return !KeyTexts().empty();
}

bool TrustsDevelopmentKey() {
    for (const std::string& key : KeyTexts()) {
        if (key == SONGDECK_DEV_UPDATE_KEY) {
            return true;
        }
    }
    return false;
}

bool VerifyManifestSignature(const std::string& manifest, const std::string& signature) {
    if (signature.size() != kManifestSignatureBytes) {
        return false;
    }
    for (const std::string& key : KeyTexts()) {
        if (platform::VerifyEcdsaP256Sha256(DecodeBase64(key), manifest.data(), manifest.size(),
                                            signature.data(), signature.size())) {
            return true;
        }
    }
    return false;
}

std::wstring DescribeManifestTrust() {
    if (!HasManifestKeys()) {
        return L"update: this build holds no manifest key; update manifests are not checked for "
               L"a signature";
    }
    if (TrustsDevelopmentKey()) {
        return L"update: this build trusts the development key; anyone can sign an update for it";
    }
    return {};
}

void LogManifestTrustOnce() {
    static std::atomic<bool> logged{false};
    const std::wstring text = DescribeManifestTrust();
    if (!text.empty() && !logged.exchange(true)) {
        WriteLog(info, L"%ls", text.c_str());
    }
}

void OverrideManifestKeys(std::optional<std::string> keys) {
    std::lock_guard<std::mutex> lock(g_keysMutex);
    g_overrideKeys = std::move(keys);
}
