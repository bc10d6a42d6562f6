#include "support/manifest_signer.h"

#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <cstdio>
#include <stdexcept>
#include <vector>

#include "update/manifest_trust.h"

namespace testsupport {

struct CTestSigningKey::Key {
    EVP_PKEY* key = nullptr;
    ~Key() { EVP_PKEY_free(key); }
};

CTestSigningKey::CTestSigningKey(std::unique_ptr<Key> key) : m_pKey(std::move(key)) {}
CTestSigningKey::CTestSigningKey(CTestSigningKey&&) noexcept = default;
CTestSigningKey::~CTestSigningKey() = default;

std::string DevelopmentKeyPath() {
    return std::string(SONGDECK_TEST_SUPPORT_DIR) + "/dev_manifest_key.pem";
}

const CTestSigningKey& CTestSigningKey::Development() {
    static const CTestSigningKey development = [] {
        FILE* file = std::fopen(DevelopmentKeyPath().c_str(), "r");
        if (file == nullptr) {
            throw std::runtime_error("signer: no development key at " + DevelopmentKeyPath());
        }
        auto key = std::make_unique<Key>();
        key->key = PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
        std::fclose(file);
        if (key->key == nullptr) {
            throw std::runtime_error("signer: the development key cannot be read");
        }
        return CTestSigningKey(std::move(key));
    }();
    return development;
}

CTestSigningKey CTestSigningKey::Generate() {
    auto key = std::make_unique<Key>();
    key->key = EVP_EC_gen("P-256");
    if (key->key == nullptr) {
        throw std::runtime_error("signer: cannot make a key");
    }
    return CTestSigningKey(std::move(key));
}

std::string CTestSigningKey::Sign(const std::string& bytes) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    size_t length = 0;
    std::vector<unsigned char> der;
    if (EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, m_pKey->key) == 1 &&
        EVP_DigestSign(context, nullptr, &length,
                       reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()) == 1) {
        der.resize(length);
        if (EVP_DigestSign(context, der.data(), &length,
                           reinterpret_cast<const unsigned char*>(bytes.data()),
                           bytes.size()) != 1) {
            der.clear();
        }
        der.resize(length);
    }
    EVP_MD_CTX_free(context);
    const unsigned char* in = der.data();
    ECDSA_SIG* signature = d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(der.size()));
    if (signature == nullptr) {
        throw std::runtime_error("signer: signing failed");
    }
    std::string raw(64, '\0');
    BN_bn2binpad(ECDSA_SIG_get0_r(signature), reinterpret_cast<unsigned char*>(raw.data()), 32);
    BN_bn2binpad(ECDSA_SIG_get0_s(signature), reinterpret_cast<unsigned char*>(raw.data()) + 32,
                 32);
    ECDSA_SIG_free(signature);
    return raw;
}

std::string CTestSigningKey::PublicKeyBase64() const {
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(m_pKey->key, &der);
    if (length <= 0) {
        throw std::runtime_error("signer: no public key");
    }
    std::string text(4 * ((static_cast<size_t>(length) + 2) / 3) + 1, '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), der, length);
    OPENSSL_free(der);
    text.resize(static_cast<size_t>(written));
    return text;
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
