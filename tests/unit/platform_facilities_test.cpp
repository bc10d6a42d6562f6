// The facilities every platform implements, checked the same way on each: atomic file
// replacement, digests and the manifest signature, XML, known folders, one running client.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdarg>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/autostart.h"
#include "platform/digest.h"
#include "platform/files.h"
#include "platform/folder_access.h"
#include "platform/known_folders.h"
#include "platform/logger.h"
#include "platform/messages.h"
#include "platform/private_profile.h"
#include "platform/process.h"
#include "platform/single_instance.h"
#include "platform/text_encoding.h"
#include "platform/write_file.h"
#include "platform/xml_document.h"
#include "temp_folder.h"
#include "update/manifest_trust.h"

namespace {

// "SongDeck signed bytes" signed with the development key (tests/support/dev_manifest_key.pem),
// r then s.
const char kSignedText[] = "SongDeck signed bytes";
const char kSignatureHex[] =
    "3416af7b36544e8a6193e54a3cbb59870295582293c3fff318f18acdbff2720d"
    "8a21a8d7cccf29c4fb4ae0bb07fdd78e179afca13386da4b88027955318e8028";

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

std::string Digest(platform::DigestKind kind, const std::string& first, const std::string& rest) {
    platform::CDigest digest(kind);
    EXPECT_TRUE(digest.IsValid());
    EXPECT_TRUE(digest.Update(first.data(), first.size()));
    EXPECT_TRUE(digest.Update(rest.data(), rest.size()));
    return digest.FinishHex();
}

TEST(PlatformFacilities, ReplacedFileHoldsTheNewBytesAndLeavesNothingBeside) {
    TempFolder folder;
    const std::filesystem::path target = folder.path() / "config.ini";
    folder.Write("config.ini", "old");
    ASSERT_TRUE(ReplaceFileAtomically(target, "new bytes", 9));
    EXPECT_EQ(folder.Read("config.ini"), "new bytes");
    ASSERT_TRUE(ReplaceFileAtomically(target, "", 0));
    EXPECT_EQ(folder.Read("config.ini"), "");
    size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
        EXPECT_EQ(entry.path().filename(), "config.ini");
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
    // A folder in the file's place is never replaced.
    std::filesystem::create_directory(folder.path() / "taken");
    EXPECT_FALSE(ReplaceFileAtomically(folder.path() / "taken", "x", 1));
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "taken"));

    CFolderLock lock(folder.path());
    EXPECT_TRUE(lock.IsLocked());
    EXPECT_FALSE(CFolderLock(folder.path() / "missing").IsLocked());
}

TEST(PlatformFacilities, AFileWrittenInPlaceIsOnlyEverAPlainFile) {
    TempFolder folder;
    const std::filesystem::path part = folder.path() / "SongDeck.exe.part";
    platform::CWriteFile file;
    EXPECT_EQ(file.OpenExisting(part), platform::CWriteFile::OpenResult::Missing);
    ASSERT_TRUE(file.Create(part));
    ASSERT_TRUE(file.Write("0123456789", 10));
    EXPECT_EQ(file.Size(), 10u);
    ASSERT_TRUE(file.Truncate(4));
    ASSERT_TRUE(file.Write("xy", 2));
    file.Close();
    EXPECT_EQ(folder.Read("SongDeck.exe.part"), "0123xy");
    // Reopened, writes go on at its end.
    ASSERT_EQ(file.OpenExisting(part), platform::CWriteFile::OpenResult::Opened);
    EXPECT_TRUE(file.Write("z", 1));
    file.Close();
    EXPECT_EQ(folder.Read("SongDeck.exe.part"), "0123xyz");
    std::filesystem::create_directory(folder.path() / "folder.part");
    EXPECT_EQ(file.OpenExisting(folder.path() / "folder.part"),
              platform::CWriteFile::OpenResult::NotRegular);
    EXPECT_TRUE(platform::IsFileNameTooLong(std::wstring(300, L'a')));
    EXPECT_FALSE(platform::IsFileNameTooLong(L"SongDeck.exe.part"));

    EXPECT_TRUE(CanReplaceFilesIn(WideFromPath(folder.path())));
    EXPECT_FALSE(CanReplaceFilesIn(WideFromPath(folder.path() / "missing")));
}

TEST(PlatformFacilities, ProfileKeysKeepChineseTextInCodePage936) {
    TempFolder folder;
    const std::wstring ini = WideFromPath(folder.path() / "config.ini");
    const PROFILE_WRITE batch[] = {{L"CLIENT_OPTION_SHEET", L"HOTKEY", L"1"},
                                   {L"CLIENT_OPTION_SHEET", L"TITLE", L"\u4E2D\u6587"}};
    ASSERT_TRUE(WritePrivateProfileBatch(batch, 2, ini.c_str()));
    EXPECT_NE(folder.Read("config.ini").find("TITLE=\xD6\xD0\xCE\xC4"), std::string::npos);
    wchar_t value[16];
    EXPECT_EQ(
        ReadPrivateProfileString(L"client_option_sheet", L"title", L"", value, 16, ini.c_str()),
        2u);
    EXPECT_EQ(std::wstring(value), L"\u4E2D\u6587");
    // A key that would break the file's lines refuses the whole batch.
    const PROFILE_WRITE refused[] = {{L"CLIENT_OPTION_SHEET", L"HOTKEY", L"2"},
                                     {L"CLIENT_OPTION_SHEET", L"BAD\nKEY", L"x"}};
    EXPECT_FALSE(WritePrivateProfileBatch(refused, 2, ini.c_str()));
    EXPECT_EQ(
        ReadPrivateProfileString(L"CLIENT_OPTION_SHEET", L"HOTKEY", L"", value, 16, ini.c_str()),
        1u);
    EXPECT_EQ(std::wstring(value), L"1");
}

TEST(PlatformFacilities, StartAtLoginEntryIsWrittenReadAndDeleted) {
    const wchar_t name[] = L"SongDeckFacilityTest";
    const std::wstring command = L"\"C:\\Program Files\\SongDeck\\SongDeck.exe\" -hide";
    wchar_t read[MAX_PATH];
    DeleteAutoStartEntry(name);
    EXPECT_FALSE(ReadAutoStartEntry(name, read, MAX_PATH));
    ASSERT_TRUE(WriteAutoStartEntry(name, command.c_str()));
    ASSERT_TRUE(ReadAutoStartEntry(name, read, MAX_PATH));
    EXPECT_EQ(std::wstring(read), command);
    EXPECT_FALSE(ReadAutoStartEntry(name, read, 4));  // does not fit
    EXPECT_TRUE(DeleteAutoStartEntry(name));
    EXPECT_FALSE(DeleteAutoStartEntry(name));
    EXPECT_FALSE(ReadAutoStartEntry(name, read, MAX_PATH));
}

void Log(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    Logger::instance().info(format, args);
    va_end(args);
}

TEST(PlatformFacilities, LogLinesReadWideFormatsAsTheSystemDoesAndRotate) {
    TempFolder folder;
    const std::filesystem::path log = folder.path() / "SongDeck.log";
    Logger::instance().SetFile(WideFromPath(log), 200);
    Log(L"wide %s, narrow %hs, %I64d, %d", L"\u4E2D", "abc", 1LL << 40, 7);
    Log(L"two\nlines");
    std::string text = folder.Read("SongDeck.log");
    EXPECT_NE(text.find(" INFO wide \xE4\xB8\xAD, narrow abc, 1099511627776, 7\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(" INFO two lines\n"), std::string::npos);
    // Past the bound the file moves aside and a new one starts.
    Log(L"%s", std::wstring(150, L'x').c_str());
    EXPECT_NE(folder.Read("SongDeck.log.1").find("two lines"), std::string::npos);
    EXPECT_EQ(folder.Read("SongDeck.log").find("two lines"), std::string::npos);
    Logger::instance().SetFile(L"");
}

TEST(PlatformFacilities, DigestsFedInPiecesMatchTheKnownValues) {
    EXPECT_EQ(Digest(platform::DigestKind::Md5, "a", "bc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Digest(platform::DigestKind::Sha256, "ab", "c"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    platform::CDigest used(platform::DigestKind::Md5);
    EXPECT_FALSE(used.FinishHex().empty());
    EXPECT_TRUE(used.FinishHex().empty());  // finished once, never again
    EXPECT_FALSE(used.Update("x", 1));
}

TEST(PlatformFacilities, SignatureOfTheDevelopmentKeyVerifiesAndOneChangedByteFails) {
    OverrideManifestKeys(std::nullopt);
    const std::string signature = FromHex(kSignatureHex);
    ASSERT_EQ(signature.size(), 64u);
    EXPECT_TRUE(VerifyManifestSignature(kSignedText, signature));
    std::string changedText = kSignedText;
    changedText[0] ^= 1;
    EXPECT_FALSE(VerifyManifestSignature(changedText, signature));
    std::string changedSignature = signature;
    changedSignature[40] ^= 0x10;
    EXPECT_FALSE(VerifyManifestSignature(kSignedText, changedSignature));
    EXPECT_FALSE(VerifyManifestSignature(kSignedText, signature.substr(0, 63)));
    EXPECT_FALSE(platform::VerifyEcdsaP256Sha256({0x30, 0x03, 0x02, 0x01, 0x01}, kSignedText,
                                                 sizeof(kSignedText) - 1, signature.data(),
                                                 signature.size()));
}

TEST(PlatformFacilities, XmlIsWalkedByPathAndEntitiesAreNeverExpanded) {
    const std::string manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><update><!-- notes -->"
        "<file><name>a.exe</name></file><file><name> \xE4\xB8\xAD<![CDATA[x]]> </name></file>"
        "</update>";
    platform::CXmlDocument document;
    ASSERT_TRUE(document.Load(manifest.data(), manifest.size()));
    EXPECT_EQ(document.GetDepth(), 3u);
    const auto names = document.Root().SelectAll("update/file/name");
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0].Text(), L"a.exe");
    EXPECT_EQ(names[1].Text(), L"\u4E2Dx");
    platform::CXmlNode top = document.Root().SelectSingle("update");
    ASSERT_TRUE(top);
    EXPECT_FALSE(top.FirstChild().IsElement());  // the comment comes first
    EXPECT_EQ(top.FirstChild().NextSibling().Name(), "file");

    // A document type's entities are never expanded: MSXML refuses the document, pugixml
    // leaves the reference as it stands.
    const std::string withType =
        "<!DOCTYPE u [<!ENTITY e \"expanded\">]><update><name>&e;</name></update>";
    if (document.Load(withType.data(), withType.size())) {
        EXPECT_EQ(document.Root().SelectSingle("update/name").Text().find(L"expanded"),
                  std::wstring::npos);
    } else {
        EXPECT_FALSE(document.Root().SelectSingle("update"));
    }
    EXPECT_FALSE(document.LoadText(L"<update><open></update>"));
    EXPECT_TRUE(document.LoadText(L"<a><b/></a>"));
    EXPECT_EQ(document.GetDepth(), 2u);
}

TEST(PlatformFacilities, KnownFoldersFollowTheTestsOverrides) {
    const std::wstring local = GetKnownFolderPath(CSIDL_LOCAL_APPDATA);
    ASSERT_FALSE(local.empty());
    EXPECT_NE(local.back(), kPathSeparator);
    EXPECT_NE(local.find(L"local"), std::wstring::npos);  // set by the hermetic folders
    EXPECT_TRUE(GetKnownFolderPath(0x7777).empty());
    EXPECT_FALSE(StartDetachedProgram(WideFromPath(TempFolder().path() / "missing"), {}));
}

TEST(PlatformFacilities, ACommandReachesThePrimaryAndASecondPlaceIsRefused) {
    platform::InitUiThread();
    const std::wstring name = L"SongDeckFacilityTest";
    std::vector<std::string> received;
    platform::SingleInstance first(name);
    ASSERT_TRUE(
        first.TryBecomePrimary([&](const std::string& command) { received.push_back(command); }));
    EXPECT_TRUE(first.IsPrimary());
    platform::SingleInstance second(name);
    EXPECT_FALSE(second.TryBecomePrimary([](const std::string&) {}));
    EXPECT_FALSE(second.IsPrimary());

    // The sender waits until the primary's loop has run the handler.
    std::atomic<int> result{-1};
    std::thread sender([&] {
        result = static_cast<int>(platform::SingleInstance::SendToPrimary(name, "restore", 5000));
    });
    EXPECT_TRUE(platform::PumpMessagesUntil([&] { return result >= 0; }, 10000));
    sender.join();
    EXPECT_EQ(result, static_cast<int>(platform::SingleInstance::SendResult::Handled));
    EXPECT_EQ(received, std::vector<std::string>{"restore"});
    EXPECT_EQ(platform::SingleInstance::SendToPrimary(L"SongDeckNobodyRuns", "restore", 500),
              platform::SingleInstance::SendResult::NoPrimary);
}

}  // namespace
