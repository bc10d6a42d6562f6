// Test signing keys through OpenSSL.
#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <stdexcept>
#include <vector>

#include "support/manifest_signer.h"

namespace testsupport {

struct CTestSigningKey::Key {
    EVP_PKEY* key = nullptr;
    ~Key() { EVP_PKEY_free(key); }
};

CTestSigningKey::CTestSigningKey(std::unique_ptr<Key> key) : m_pKey(std::move(key)) {}
CTestSigningKey::CTestSigningKey(CTestSigningKey&&) noexcept = default;
CTestSigningKey::~CTestSigningKey() = default;

const CTestSigningKey& CTestSigningKey::Development() {
    static const CTestSigningKey development = [] {
        const std::string pem = DevelopmentKeyPem();
        BIO* in = BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size()));
        auto key = std::make_unique<Key>();
        key->key = PEM_read_bio_PrivateKey(in, nullptr, nullptr, nullptr);
        BIO_free(in);
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

}  // namespace testsupport
