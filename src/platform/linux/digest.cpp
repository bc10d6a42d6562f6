// Digests and ECDSA verification through OpenSSL's libcrypto, opened with the first digest.
// Without it no digest can be made and no signature verifies.
#include "platform/digest.h"

#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstring>

#include "platform/linux/shared_library.h"

namespace platform {

namespace {

constexpr size_t kP256CoordinateBytes = 32;

// clang-format off
#define SONGDECK_CRYPTO(X, name) X(name, name)
#define SONGDECK_CRYPTO_FUNCTIONS(X)                                                       \
    SONGDECK_CRYPTO(X, EVP_md5) SONGDECK_CRYPTO(X, EVP_sha256)                             \
    SONGDECK_CRYPTO(X, EVP_MD_CTX_new) SONGDECK_CRYPTO(X, EVP_MD_CTX_free)                 \
    SONGDECK_CRYPTO(X, EVP_DigestInit_ex) SONGDECK_CRYPTO(X, EVP_DigestUpdate)             \
    SONGDECK_CRYPTO(X, EVP_DigestFinal_ex) SONGDECK_CRYPTO(X, EVP_DigestVerifyInit)        \
    SONGDECK_CRYPTO(X, EVP_DigestVerify) SONGDECK_CRYPTO(X, d2i_PUBKEY)                    \
    SONGDECK_CRYPTO(X, EVP_PKEY_free) SONGDECK_CRYPTO(X, EVP_PKEY_is_a)                    \
    SONGDECK_CRYPTO(X, EVP_PKEY_get_utf8_string_param) SONGDECK_CRYPTO(X, ECDSA_SIG_new)   \
    SONGDECK_CRYPTO(X, ECDSA_SIG_free) SONGDECK_CRYPTO(X, ECDSA_SIG_set0)                  \
    SONGDECK_CRYPTO(X, i2d_ECDSA_SIG) SONGDECK_CRYPTO(X, BN_bin2bn) SONGDECK_CRYPTO(X, BN_free)
// clang-format on

struct CryptoFunctions {
    SONGDECK_CRYPTO_FUNCTIONS(SONGDECK_LIBRARY_FUNCTION)
    bool Bind(auto bind) { return true SONGDECK_CRYPTO_FUNCTIONS(SONGDECK_LIBRARY_BIND); }
};

// Null when libcrypto cannot be used. The first call may come from any thread.
const CryptoFunctions* Crypto() {
    static const CryptoFunctions* const functions =
        LoadSharedLibraryFunctions<CryptoFunctions>("libcrypto.so.3");
    return functions;
}

// Only objects made through a loaded table exist, so their deleters find it loaded.
struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { Crypto()->EVP_MD_CTX_free(context); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { Crypto()->EVP_PKEY_free(key); }
};
struct SignatureFree {
    void operator()(ECDSA_SIG* signature) const { Crypto()->ECDSA_SIG_free(signature); }
};

std::string HexOf(const unsigned char* bytes, unsigned size) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (unsigned i = 0; i < size; ++i) {
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

// The r ‖ s form converted to the DER form OpenSSL verifies; empty when it is not 64 bytes.
std::vector<unsigned char> DerSignature(const CryptoFunctions& crypto, const void* signature,
                                        size_t size) {
    if (size != 2 * kP256CoordinateBytes) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(signature);
    std::unique_ptr<ECDSA_SIG, SignatureFree> parsed(crypto.ECDSA_SIG_new());
    BIGNUM* r = crypto.BN_bin2bn(bytes, kP256CoordinateBytes, nullptr);
    BIGNUM* s = crypto.BN_bin2bn(bytes + kP256CoordinateBytes, kP256CoordinateBytes, nullptr);
    if (!parsed || r == nullptr || s == nullptr || crypto.ECDSA_SIG_set0(parsed.get(), r, s) != 1) {
        crypto.BN_free(r);
        crypto.BN_free(s);
        return {};
    }
    int length = crypto.i2d_ECDSA_SIG(parsed.get(), nullptr);
    if (length <= 0) {
        return {};
    }
    std::vector<unsigned char> der(static_cast<size_t>(length));
    unsigned char* out = der.data();
    if (crypto.i2d_ECDSA_SIG(parsed.get(), &out) != length) {
        return {};
    }
    return der;
}

bool IsP256Key(const CryptoFunctions& crypto, EVP_PKEY* key) {
    char group[64] = {};
    size_t length = 0;
    return crypto.EVP_PKEY_is_a(key, "EC") &&
           crypto.EVP_PKEY_get_utf8_string_param(key, "group", group, sizeof(group), &length) ==
               1 &&
           std::strcmp(group, "prime256v1") == 0;
}

}  // namespace

struct CDigest::State {
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context;
};

CDigest::CDigest(DigestKind kind) {
    const CryptoFunctions* crypto = Crypto();
    if (crypto == nullptr) {
        return;
    }
    const EVP_MD* algorithm = kind == DigestKind::Md5 ? crypto->EVP_md5() : crypto->EVP_sha256();
    if (algorithm == nullptr) {
        return;
    }
    auto state = std::make_unique<State>();
    state->context.reset(crypto->EVP_MD_CTX_new());
    if (state->context &&
        crypto->EVP_DigestInit_ex(state->context.get(), algorithm, nullptr) == 1) {
        m_pState = std::move(state);
    }
}

CDigest::~CDigest() = default;

bool CDigest::Update(const void* data, size_t size) {
    return m_pState != nullptr &&
           (size == 0 || Crypto()->EVP_DigestUpdate(m_pState->context.get(), data, size) == 1);
}

std::string CDigest::FinishHex() {
    if (m_pState == nullptr) {
        return {};
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    const bool finished = Crypto()->EVP_DigestFinal_ex(m_pState->context.get(), digest, &size) == 1;
    m_pState.reset();
    return finished ? HexOf(digest, size) : std::string();
}

bool VerifyEcdsaP256Sha256(const std::vector<uint8_t>& publicKey, const void* data, size_t size,
                           const void* signature, size_t signatureSize) {
    const CryptoFunctions* crypto = Crypto();
    if (crypto == nullptr) {
        return false;
    }
    const unsigned char* keyBytes = publicKey.data();
    std::unique_ptr<EVP_PKEY, KeyFree> key(
        crypto->d2i_PUBKEY(nullptr, &keyBytes, static_cast<long>(publicKey.size())));
    if (!key || keyBytes != publicKey.data() + publicKey.size() || !IsP256Key(*crypto, key.get())) {
        return false;
    }
    const std::vector<unsigned char> der = DerSignature(*crypto, signature, signatureSize);
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(crypto->EVP_MD_CTX_new());
    if (der.empty() || !context ||
        crypto->EVP_DigestVerifyInit(context.get(), nullptr, crypto->EVP_sha256(), nullptr,
                                     key.get()) != 1) {
        return false;
    }
    return crypto->EVP_DigestVerify(context.get(), der.data(), der.size(),
                                    static_cast<const unsigned char*>(data), size) == 1;
}

}  // namespace platform
