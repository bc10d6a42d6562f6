// Digests and ECDSA verification through CNG (BCrypt), the key decoded by CryptoAPI.
#include "platform/digest.h"

#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>

namespace platform {

namespace {

bool Succeeded(NTSTATUS status) {
    return status >= 0;
}

// One hash of the algorithm over the whole of data.
bool HashOnce(DigestKind kind, const void* data, size_t size, std::vector<UCHAR>& digest);

}  // namespace

struct CDigest::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    DWORD length = 0;
    bool finished = false;

    ~State() {
        if (hash != nullptr) {
            BCryptDestroyHash(hash);
        }
        if (algorithm != nullptr) {
            BCryptCloseAlgorithmProvider(algorithm, 0);
        }
    }
};

CDigest::CDigest(DigestKind kind) {
    auto state = std::make_unique<State>();
    LPCWSTR name = kind == DigestKind::Md5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA256_ALGORITHM;
    ULONG got = 0;
    if (Succeeded(BCryptOpenAlgorithmProvider(&state->algorithm, name, nullptr, 0)) &&
        Succeeded(BCryptGetProperty(state->algorithm, BCRYPT_HASH_LENGTH,
                                    reinterpret_cast<PUCHAR>(&state->length), sizeof(state->length),
                                    &got, 0)) &&
        Succeeded(BCryptCreateHash(state->algorithm, &state->hash, nullptr, 0, nullptr, 0, 0))) {
        m_pState = std::move(state);
    }
}

CDigest::~CDigest() = default;

bool CDigest::Update(const void* data, size_t size) {
    if (!m_pState || m_pState->finished) {
        return false;
    }
    const auto* bytes = static_cast<const UCHAR*>(data);
    while (size > 0) {
        const ULONG piece = size > 0x40000000 ? 0x40000000 : static_cast<ULONG>(size);
        if (!Succeeded(BCryptHashData(m_pState->hash, const_cast<PUCHAR>(bytes), piece, 0))) {
            return false;
        }
        bytes += piece;
        size -= piece;
    }
    return true;
}

std::string CDigest::FinishHex() {
    if (!m_pState || m_pState->finished) {
        return {};
    }
    m_pState->finished = true;
    std::vector<UCHAR> digest(m_pState->length);
    if (!Succeeded(BCryptFinishHash(m_pState->hash, digest.data(),
                                    static_cast<ULONG>(digest.size()), 0))) {
        return {};
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (UCHAR byte : digest) {
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 15];
    }
    return hex;
}

namespace {

bool HashOnce(DigestKind kind, const void* data, size_t size, std::vector<UCHAR>& digest) {
    CDigest hash(kind);
    const std::string hex = hash.Update(data, size) ? hash.FinishHex() : std::string();
    if (hex.empty()) {
        return false;
    }
    digest.clear();
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        digest.push_back(static_cast<UCHAR>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return true;
}

// The named curve P-256 as the key's algorithm parameters carry it (an OID, DER).
constexpr BYTE kPrime256v1[] = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
constexpr size_t kCoordinate = 32;

// The public key of a DER SubjectPublicKeyInfo as a CNG P-256 key; null for anything else.
BCRYPT_KEY_HANDLE ImportP256Key(BCRYPT_ALG_HANDLE algorithm, const std::vector<uint8_t>& der) {
    CERT_PUBLIC_KEY_INFO* info = nullptr;
    DWORD infoSize = 0;
    if (der.empty() || !CryptDecodeObjectEx(X509_ASN_ENCODING, X509_PUBLIC_KEY_INFO, der.data(),
                                            static_cast<DWORD>(der.size()), CRYPT_DECODE_ALLOC_FLAG,
                                            nullptr, &info, &infoSize)) {
        return nullptr;
    }
    BCRYPT_KEY_HANDLE key = nullptr;
    const CRYPT_BIT_BLOB& point = info->PublicKey;
    const bool isP256 =
        info->Algorithm.pszObjId != nullptr &&
        std::strcmp(info->Algorithm.pszObjId, szOID_ECC_PUBLIC_KEY) == 0 &&
        info->Algorithm.Parameters.cbData == sizeof(kPrime256v1) &&
        std::memcmp(info->Algorithm.Parameters.pbData, kPrime256v1, sizeof(kPrime256v1)) == 0 &&
        point.cbData == 1 + 2 * kCoordinate && point.pbData[0] == 0x04;  // uncompressed
    if (isP256) {
        std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinate);
        auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
        header->dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
        header->cbKey = kCoordinate;
        std::memcpy(blob.data() + sizeof(BCRYPT_ECCKEY_BLOB), point.pbData + 1, 2 * kCoordinate);
        if (!Succeeded(BCryptImportKeyPair(algorithm, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key,
                                           blob.data(), static_cast<ULONG>(blob.size()), 0))) {
            key = nullptr;
        }
    }
    LocalFree(info);
    return key;
}

}  // namespace

bool VerifyEcdsaP256Sha256(const std::vector<uint8_t>& publicKey, const void* data, size_t size,
                           const void* signature, size_t signatureSize) {
    if (signature == nullptr || signatureSize != 2 * kCoordinate) {
        return false;
    }
    std::vector<UCHAR> digest;
    if (!HashOnce(DigestKind::Sha256, data, size, digest)) {
        return false;
    }
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!Succeeded(
            BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
        return false;
    }
    bool valid = false;
    if (BCRYPT_KEY_HANDLE key = ImportP256Key(algorithm, publicKey)) {
        std::vector<UCHAR> rs(static_cast<const UCHAR*>(signature),
                              static_cast<const UCHAR*>(signature) + signatureSize);
        valid = Succeeded(BCryptVerifySignature(key, nullptr, digest.data(),
                                                static_cast<ULONG>(digest.size()), rs.data(),
                                                static_cast<ULONG>(rs.size()), 0));
        BCryptDestroyKey(key);
    }
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return valid;
}

}  // namespace platform
