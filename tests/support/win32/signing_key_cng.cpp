// Test signing keys through CNG: the development key's PKCS#8 DER walked for its P-256 point and
// secret, imported as a private blob; BCryptSignHash over SHA-256 gives r ‖ s as it is.
#include <windows.h>
#include <bcrypt.h>
#include <wincrypt.h>

#include <cstring>
#include <stdexcept>
#include <vector>

#include "platform/digest.h"
#include "support/manifest_signer.h"

namespace testsupport {

namespace {

constexpr size_t kCoordinate = 32;
// SubjectPublicKeyInfo of a P-256 key up to its uncompressed point (0x04 X Y follows).
constexpr BYTE kP256InfoPrefix[] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48,
                                    0xCE, 0x3D, 0x02, 0x01, 0x06, 0x08, 0x2A, 0x86, 0x48,
                                    0xCE, 0x3D, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};
constexpr BYTE kPrime256v1[] = {0x06, 0x08, 0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};

void Check(NTSTATUS status, const char* what) {
    if (status < 0) {
        throw std::runtime_error(std::string("signer: ") + what + " failed");
    }
}

// One DER element at at: its tag and contents; at moves past it.
struct Element {
    BYTE tag = 0;
    const BYTE* body = nullptr;
    size_t size = 0;
};

Element Next(const BYTE*& at, const BYTE* end) {
    Element element;
    if (end - at < 2) {
        throw std::runtime_error("signer: a cut key");
    }
    element.tag = *at++;
    size_t size = *at++;
    if (size & 0x80) {
        const size_t count = size & 0x7F;
        if (count > 2 || static_cast<size_t>(end - at) < count) {
            throw std::runtime_error("signer: a key of an unknown form");
        }
        size = 0;
        for (size_t i = 0; i < count; ++i) {
            size = (size << 8) | *at++;
        }
    }
    if (static_cast<size_t>(end - at) < size) {
        throw std::runtime_error("signer: a cut key");
    }
    element.body = at;
    element.size = size;
    at += size;
    return element;
}

BCRYPT_ALG_HANDLE EcdsaP256() {
    static const BCRYPT_ALG_HANDLE algorithm = [] {
        BCRYPT_ALG_HANDLE opened = nullptr;
        Check(BCryptOpenAlgorithmProvider(&opened, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0),
              "opening ECDSA P-256");
        return opened;
    }();
    return algorithm;
}

// The private blob (header, X, Y, d) of a PKCS#8 P-256 key.
std::vector<BYTE> PrivateBlob(const std::vector<BYTE>& der) {
    const BYTE* at = der.data();
    const Element info = Next(at, der.data() + der.size());
    at = info.body;
    const BYTE* end = info.body + info.size;
    Next(at, end);  // version
    const Element algorithm = Next(at, end);
    const Element wrapped = Next(at, end);
    if (algorithm.size < sizeof(kPrime256v1) ||
        std::memcmp(algorithm.body + algorithm.size - sizeof(kPrime256v1), kPrime256v1,
                    sizeof(kPrime256v1)) != 0 ||
        wrapped.tag != 0x04) {
        throw std::runtime_error("signer: not a P-256 private key");
    }
    at = wrapped.body;
    const Element ecKey = Next(at, wrapped.body + wrapped.size);
    at = ecKey.body;
    end = ecKey.body + ecKey.size;
    Next(at, end);  // version
    const Element secret = Next(at, end);
    const BYTE* point = nullptr;
    while (at < end) {
        const Element tagged = Next(at, end);
        if (tagged.tag == 0xA1) {  // [1] the public key as a bit string
            const BYTE* inner = tagged.body;
            const Element bits = Next(inner, tagged.body + tagged.size);
            if (bits.size == 2 + 2 * kCoordinate && bits.body[1] == 0x04) {
                point = bits.body + 2;
            }
        }
    }
    if (secret.size != kCoordinate || point == nullptr) {
        throw std::runtime_error("signer: the key lacks its secret or point");
    }
    std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 3 * kCoordinate);
    auto* header = reinterpret_cast<BCRYPT_ECCKEY_BLOB*>(blob.data());
    header->dwMagic = BCRYPT_ECDSA_PRIVATE_P256_MAGIC;
    header->cbKey = kCoordinate;
    std::memcpy(blob.data() + sizeof(BCRYPT_ECCKEY_BLOB), point, 2 * kCoordinate);
    std::memcpy(blob.data() + sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinate, secret.body,
                kCoordinate);
    return blob;
}

}  // namespace

struct CTestSigningKey::Key {
    BCRYPT_KEY_HANDLE key = nullptr;
    ~Key() {
        if (key != nullptr) {
            BCryptDestroyKey(key);
        }
    }
};

CTestSigningKey::CTestSigningKey(std::unique_ptr<Key> key) : m_pKey(std::move(key)) {}
CTestSigningKey::CTestSigningKey(CTestSigningKey&&) noexcept = default;
CTestSigningKey::~CTestSigningKey() = default;

const CTestSigningKey& CTestSigningKey::Development() {
    static const CTestSigningKey development = [] {
        const std::string pem = DevelopmentKeyPem();
        DWORD size = 0;
        if (!CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()),
                                  CRYPT_STRING_BASE64HEADER, nullptr, &size, nullptr, nullptr)) {
            throw std::runtime_error("signer: the development key is not PEM");
        }
        std::vector<BYTE> der(size);
        CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER,
                             der.data(), &size, nullptr, nullptr);
        der.resize(size);
        std::vector<BYTE> blob = PrivateBlob(der);
        auto key = std::make_unique<Key>();
        Check(BCryptImportKeyPair(EcdsaP256(), nullptr, BCRYPT_ECCPRIVATE_BLOB, &key->key,
                                  blob.data(), static_cast<ULONG>(blob.size()), 0),
              "importing the development key");
        SecureZeroMemory(blob.data(), blob.size());
        return CTestSigningKey(std::move(key));
    }();
    return development;
}

CTestSigningKey CTestSigningKey::Generate() {
    auto key = std::make_unique<Key>();
    Check(BCryptGenerateKeyPair(EcdsaP256(), &key->key, 256, 0), "making a key");
    Check(BCryptFinalizeKeyPair(key->key, 0), "making a key");
    return CTestSigningKey(std::move(key));
}

std::string CTestSigningKey::Sign(const std::string& bytes) const {
    platform::CDigest sha256(platform::DigestKind::Sha256);
    sha256.Update(bytes.data(), bytes.size());
    const std::string hex = sha256.FinishHex();
    std::vector<UCHAR> digest;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        digest.push_back(static_cast<UCHAR>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    std::string raw(2 * kCoordinate, '\0');
    ULONG written = 0;
    Check(BCryptSignHash(m_pKey->key, nullptr, digest.data(), static_cast<ULONG>(digest.size()),
                         reinterpret_cast<PUCHAR>(raw.data()), static_cast<ULONG>(raw.size()),
                         &written, 0),
          "signing");
    if (written != raw.size()) {
        throw std::runtime_error("signer: a signature of an unexpected size");
    }
    return raw;
}

std::string CTestSigningKey::PublicKeyBase64() const {
    std::vector<BYTE> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 2 * kCoordinate);
    ULONG written = 0;
    Check(BCryptExportKey(m_pKey->key, nullptr, BCRYPT_ECCPUBLIC_BLOB, blob.data(),
                          static_cast<ULONG>(blob.size()), &written, 0),
          "exporting the public key");
    std::vector<BYTE> der(std::begin(kP256InfoPrefix), std::end(kP256InfoPrefix));
    der.push_back(0x04);
    der.insert(der.end(), blob.begin() + sizeof(BCRYPT_ECCKEY_BLOB), blob.end());
    const DWORD flags = CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF;
    DWORD size = 0;
    CryptBinaryToStringA(der.data(), static_cast<DWORD>(der.size()), flags, nullptr, &size);
    std::string text(size, '\0');
    if (!CryptBinaryToStringA(der.data(), static_cast<DWORD>(der.size()), flags, text.data(),
                              &size)) {
        throw std::runtime_error("signer: the public key cannot be written");
    }
    text.resize(size);
    return text;
}

}  // namespace testsupport
