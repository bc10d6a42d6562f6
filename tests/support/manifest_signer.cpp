// What signing in tests shares on every platform: the development key's file, serving a
// manifest with its signature, and the keys the client trusts meanwhile. The keys themselves
// are in signing_key_openssl.cpp (Linux) and win32/signing_key_cng.cpp.
#include "support/manifest_signer.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "update/manifest_trust.h"

namespace testsupport {

std::string DevelopmentKeyPath() {
    return std::string(SONGDECK_TEST_SUPPORT_DIR) + "/dev_manifest_key.pem";
}

std::string DevelopmentKeyPem() {
    std::ifstream file(DevelopmentKeyPath(), std::ios::binary);
    if (!file) {
        throw std::runtime_error("signer: no development key at " + DevelopmentKeyPath());
    }
    return std::string(std::istreambuf_iterator<char>(file), {});
}

void ServeSignedManifest(TestHttpServer& server, const std::string& path,
                         const std::string& manifest, const CTestSigningKey& key) {
    server.ServeFile(path, manifest);
    server.ServeFile(path + ".sig", key.Sign(manifest));
}

CScopedManifestKeys::CScopedManifestKeys(const std::string& keys) {
    OverrideManifestKeys(keys);
}

CScopedManifestKeys::~CScopedManifestKeys() {
    OverrideManifestKeys(std::nullopt);
}

}  // namespace testsupport
