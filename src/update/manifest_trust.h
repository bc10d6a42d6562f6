// Who may sign the update manifest: the public keys built into the client. A manifest is
// accepted when a detached ECDSA P-256 / SHA-256 signature of its exact bytes verifies with one
// of them; a build without keys accepts unsigned manifests.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

// The signature lies beside the manifest, at its URL (before the query) with this suffix.
constexpr wchar_t kManifestSignatureSuffix[] = L".sig";
// r then s, 32 bytes each.
constexpr size_t kManifestSignatureBytes = 64;

// Whether this build holds any key (then every manifest must be signed).
bool HasManifestKeys();
// Whether this build trusts the development key, whose private half anyone can read: such a
// build must not be given to users, and says so in its log and on its about page.
bool TrustsDevelopmentKey();
// True when signature is kManifestSignatureBytes long and verifies manifest with a trusted key.
bool VerifyManifestSignature(const std::string& manifest, const std::string& signature);
// What the log says about this build's trust: no key, the development key, or nothing (empty)
// for a build that holds only its own keys.
std::wstring DescribeManifestTrust();
// Writes DescribeManifestTrust once per process.
void LogManifestTrustOnce();
// Keys (base64 DER public keys separated by ';', as the build setting takes them) that replace
// the built-in ones until called again with nullopt: the tests' way to act as another build.
void OverrideManifestKeys(std::optional<std::string> keys);
