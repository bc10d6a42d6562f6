// The platform's digests and signature check against known values and a real key pair.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/helpers.h"
#include "platform/digest.h"
#include "support/manifest_signer.h"
#include "temp_folder.h"
#include "update/manifest_trust.h"

namespace {

using testsupport::CScopedManifestKeys;
using testsupport::CTestSigningKey;

std::string HexOf(platform::DigestKind kind, const std::string& bytes) {
    platform::CDigest digest(kind);
    // Fed in two pieces, as files are.
    digest.Update(bytes.data(), bytes.size() / 2);
    digest.Update(bytes.data() + bytes.size() / 2, bytes.size() - bytes.size() / 2);
    return digest.FinishHex();
}

TEST(Digest, KnownValuesFedInPieces) {
    EXPECT_EQ(HexOf(platform::DigestKind::Md5, "abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(HexOf(platform::DigestKind::Sha256, "abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(HexOf(platform::DigestKind::Sha256, ""),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(Digest, AnEmptyFileHasASha256ButNoMd5Text) {
    TempFolder folder;
    folder.Write("empty", "");
    folder.Write("abc", "abc");
    EXPECT_EQ(MD5OfFile(folder.wide(L"empty").c_str()), L"");
    EXPECT_EQ(SHA256OfFile(folder.wide(L"empty").c_str()),
              L"e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(SHA256OfFile(folder.wide(L"abc").c_str()),
              L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(SHA256OfFile(folder.wide(L"missing").c_str()), L"");
}

class Signature : public ::testing::Test {
protected:
    const CTestSigningKey key = CTestSigningKey::Generate();
    const std::string manifest = "<updater><version>2</version></updater>";
    const std::string signature = key.Sign(manifest);
    CScopedManifestKeys keys{key.PublicKeyBase64()};
};

TEST_F(Signature, OnlyTheExactBytesWithTheRightKeyVerify) {
    EXPECT_TRUE(VerifyManifestSignature(manifest, signature));

    std::string changedManifest = manifest;
    changedManifest[12] ^= 0x20;
    EXPECT_FALSE(VerifyManifestSignature(changedManifest, signature));
    for (size_t at : {size_t{0}, size_t{31}, size_t{32}, size_t{63}}) {
        std::string changed = signature;
        changed[at] ^= 1;
        EXPECT_FALSE(VerifyManifestSignature(manifest, changed)) << "byte " << at;
    }
    EXPECT_FALSE(VerifyManifestSignature(manifest, signature.substr(0, 63)));
    EXPECT_FALSE(VerifyManifestSignature(manifest, signature + '\0'));
    EXPECT_FALSE(VerifyManifestSignature(manifest, std::string(64, '\0')));
    EXPECT_FALSE(VerifyManifestSignature(manifest, CTestSigningKey::Generate().Sign(manifest)));
}

TEST_F(Signature, KeysThatAreNotP256AreRefusedAndDoNotHideTheGoodOne) {
    // A P-384 public key (base64 DER), garbage, and the right key last.
    const std::string p384 =
        "MHYwEAYHKoZIzj0CAQYFK4EEACIDYgAEhDWSFsj987bWbOmAuz/6RAO+YPBCwKVmEon1GJYI3xK1Cg32b85MEKLd"
        "sXvyEyhLtJO6tktzxz9HtxKEHpeTgHyKzoiasTNWT7dXF65UxK9KmEYvNr8SzIyu0KnD1a+L";
    {
        CScopedManifestKeys other(p384);
        EXPECT_TRUE(HasManifestKeys());
        EXPECT_FALSE(VerifyManifestSignature(manifest, signature));
    }
    EXPECT_FALSE(platform::VerifyEcdsaP256Sha256({1, 2, 3}, manifest.data(), manifest.size(),
                                                 signature.data(), signature.size()));

    CScopedManifestKeys list("not*base64; AAAA ;" + p384 + ";" + key.PublicKeyBase64());
    EXPECT_TRUE(HasManifestKeys());
    // A build with its own keys only has nothing to warn about.
    EXPECT_EQ(DescribeManifestTrust(), L"");
    EXPECT_TRUE(VerifyManifestSignature(manifest, signature));
}

TEST(ManifestKeys, TheDefaultBuildTrustsTheDevelopmentKeyAndSaysSo) {
    EXPECT_TRUE(HasManifestKeys());
    EXPECT_TRUE(TrustsDevelopmentKey());
    EXPECT_NE(DescribeManifestTrust().find(L"development key"), std::wstring::npos);
    const std::string manifest = "<updater/>";
    EXPECT_TRUE(VerifyManifestSignature(manifest, CTestSigningKey::Development().Sign(manifest)));
    {
        CScopedManifestKeys none("");
        EXPECT_FALSE(HasManifestKeys());
        EXPECT_FALSE(TrustsDevelopmentKey());
        EXPECT_NE(DescribeManifestTrust().find(L"no manifest key"), std::wstring::npos);
        EXPECT_FALSE(
            VerifyManifestSignature(manifest, CTestSigningKey::Development().Sign(manifest)));
    }
    EXPECT_TRUE(TrustsDevelopmentKey());
}

}  // namespace
