// Signing keys for update manifests in tests: the development key (whose public half the
// default build trusts) and fresh keys for rotation and tampering cases. Signatures are the
// 64 raw bytes r ‖ s the client expects.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "support/test_http_server.h"

namespace testsupport {

class CTestSigningKey {
public:
    // The development key of tests/support.
    static const CTestSigningKey& Development();
    // A new P-256 key, trusted by nothing.
    static CTestSigningKey Generate();

    CTestSigningKey(CTestSigningKey&&) noexcept;
    ~CTestSigningKey();

    std::string Sign(const std::string& bytes) const;
    // The base64 DER public key, as the build setting takes it.
    std::string PublicKeyBase64() const;

private:
    struct Key;
    explicit CTestSigningKey(std::unique_ptr<Key> key);
    std::unique_ptr<Key> m_pKey;
};

// The development private key file (for the sign-manifest tool), and its PEM text.
std::string DevelopmentKeyPath();
std::string DevelopmentKeyPem();

// Serves manifest at path, and its signature by key at path + ".sig".
void ServeSignedManifest(TestHttpServer& server, const std::string& path,
                         const std::string& manifest,
                         const CTestSigningKey& key = CTestSigningKey::Development());

// The client acts as a build holding these keys (';' between them; "" for none) while the
// object lives.
class CScopedManifestKeys {
public:
    explicit CScopedManifestKeys(const std::string& keys);
    ~CScopedManifestKeys();
    CScopedManifestKeys(const CScopedManifestKeys&) = delete;
    CScopedManifestKeys& operator=(const CScopedManifestKeys&) = delete;
};

}  // namespace testsupport
