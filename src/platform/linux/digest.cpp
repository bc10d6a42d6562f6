// Digests and ECDSA verification through OpenSSL's libcrypto.
#include "platform/digest.h"

#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <cstring>

namespace platform {

namespace {

constexpr size_t kP256CoordinateBytes = 32;

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct SignatureFree {
    void operator()(ECDSA_SIG* signature) const { ECDSA_SIG_free(signature); }
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
std::vector<unsigned char> DerSignature(const void* signature, size_t size) {
    if (size != 2 * kP256CoordinateBytes) {
        return {};
    }
    const auto* bytes = static_cast<const unsigned char*>(signature);
    std::unique_ptr<ECDSA_SIG, SignatureFree> parsed(ECDSA_SIG_new());
    BIGNUM* r = BN_bin2bn(bytes, kP256CoordinateBytes, nullptr);
    BIGNUM* s = BN_bin2bn(bytes + kP256CoordinateBytes, kP256CoordinateBytes, nullptr);
    if (!parsed || r == nullptr || s == nullptr || ECDSA_SIG_set0(parsed.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return {};
    }
    int length = i2d_ECDSA_SIG(parsed.get(), nullptr);
    if (length <= 0) {
        return {};
    }
    std::vector<unsigned char> der(static_cast<size_t>(length));
    unsigned char* out = der.data();
    if (i2d_ECDSA_SIG(parsed.get(), &out) != length) {
        return {};
    }
    return der;
}

bool IsP256Key(EVP_PKEY* key) {
    char group[64] = {};
    size_t length = 0;
    return EVP_PKEY_is_a(key, "EC") &&
           EVP_PKEY_get_utf8_string_param(key, "group", group, sizeof(group), &length) == 1 &&
           std::strcmp(group, "prime256v1") == 0;
}

}  // namespace

struct CDigest::State {
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context;
};

CDigest::CDigest(DigestKind kind) {
    const EVP_MD* algorithm = kind == DigestKind::Md5 ? EVP_md5() : EVP_sha256();
    if (algorithm == nullptr) {
        return;
    }
    auto state = std::make_unique<State>();
    state->context.reset(EVP_MD_CTX_new());
    if (state->context && EVP_DigestInit_ex(state->context.get(), algorithm, nullptr) == 1) {
        m_pState = std::move(state);
    }
}

CDigest::~CDigest() = default;

bool CDigest::Update(const void* data, size_t size) {
    return m_pState != nullptr &&
           (size == 0 || EVP_DigestUpdate(m_pState->context.get(), data, size) == 1);
}

std::string CDigest::FinishHex() {
    if (m_pState == nullptr) {
        return {};
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned size = 0;
    const bool finished = EVP_DigestFinal_ex(m_pState->context.get(), digest, &size) == 1;
    m_pState.reset();
    return finished ? HexOf(digest, size) : std::string();
}

bool VerifyEcdsaP256Sha256(const std::vector<uint8_t>& publicKey, const void* data, size_t size,
                           const void* signature, size_t signatureSize) {
    const unsigned char* keyBytes = publicKey.data();
    std::unique_ptr<EVP_PKEY, KeyFree> key(
        d2i_PUBKEY(nullptr, &keyBytes, static_cast<long>(publicKey.size())));
    if (!key || keyBytes != publicKey.data() + publicKey.size() || !IsP256Key(key.get())) {
        return false;
    }
    const std::vector<unsigned char> der = DerSignature(signature, signatureSize);
    std::unique_ptr<EVP_MD_CTX, DigestContextFree> context(EVP_MD_CTX_new());
    if (der.empty() || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), der.data(), der.size(),
                            static_cast<const unsigned char*>(data), size) == 1;
}

}  // namespace platform
