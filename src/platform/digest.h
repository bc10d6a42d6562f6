// Digests and signature checks the system asks of the platform: MD5 and SHA-256 of bytes fed
// in pieces, and ECDSA P-256 / SHA-256 verification of a detached signature.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum class DigestKind { Md5, Sha256 };

class CDigest {
public:
    explicit CDigest(DigestKind kind);
    ~CDigest();
    CDigest(const CDigest&) = delete;
    CDigest& operator=(const CDigest&) = delete;

    // False when the platform has no such digest; every later call then fails too.
    bool IsValid() const { return m_pState != nullptr; }
    bool Update(const void* data, size_t size);
    // 32 (MD5) or 64 (SHA-256) lower-case hexadecimal digits; empty when the digest failed.
    // The object cannot be fed again afterwards.
    std::string FinishHex();

private:
    struct State;
    std::unique_ptr<State> m_pState;
};

// True when signature (64 bytes: r then s, big-endian, as Windows CNG produces them) is a valid
// ECDSA P-256 signature over the SHA-256 of data, made with the private half of publicKey (a
// DER SubjectPublicKeyInfo of a P-256 key). Any other key type or size is refused.
bool VerifyEcdsaP256Sha256(const std::vector<uint8_t>& publicKey, const void* data, size_t size,
                           const void* signature, size_t signatureSize);

}  // namespace platform
