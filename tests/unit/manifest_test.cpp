#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "temp_folder.h"
#include "update/notify_proxy.h"
#include "update/updater.h"
#include "update/xml_document.h"

namespace {

constexpr LONGLONG kRunning = 10200030004;  // 1.2.3.4

// Runs the manifest stage on a file of its own; the file check is not started.
class ManifestUpdater : public CUpdater {
public:
    ManifestUpdater(CNotifyProxy* proxy, const std::wstring& manifestPath)
        : CUpdater(proxy, kRunning, L"test agent") {
        m_strManifestPath = manifestPath;
        m_strUrl = L"http://127.0.0.1/app/update/update.xml?id={AB}&ver=10200030004";
        m_strDir = L"/nonexistent/";
    }
    void OnNewVersion() override { newVersion = true; }
    void OnUpdateFinished(int finished) override { result = finished; }

    using CUpdater::GetLogLines;
    using CUpdater::ParseManifest;
    const std::vector<DownloadEntry>& Downloads() const { return m_downloads; }
    const std::vector<std::wstring>& Names() const { return m_names; }

    bool newVersion = false;
    int result = -1;
};

class Manifest : public ::testing::Test {
protected:
    // Parses the text as the downloaded manifest.
    ManifestUpdater& Parse(const std::string& xml) {
        folder.Write("update.xml", xml);
        updater = std::make_unique<ManifestUpdater>(&proxy, folder.wide(L"update.xml"));
        updater->ParseManifest();
        return *updater;
    }
    TempFolder folder;
    CNotifyProxy proxy;
    std::unique_ptr<ManifestUpdater> updater;
};

TEST_F(Manifest, OnlyANewerVersionProceeds) {
    EXPECT_EQ(Parse("<updater><version>10200030004</version></updater>").result, 2);
    EXPECT_FALSE(updater->newVersion);
    EXPECT_EQ(Parse("<updater><version>10200030003</version></updater>").result, 2);
    EXPECT_EQ(Parse("<updater><version>nonsense</version></updater>").result, 2);
    EXPECT_EQ(Parse("<updater></updater>").result, 2);

    ManifestUpdater& newer = Parse("<updater><version> 10200030005x</version></updater>");
    EXPECT_TRUE(newer.newVersion);
    EXPECT_EQ(newer.result, -1);
}

TEST_F(Manifest, UnreadableOrRootlessManifestsFail) {
    EXPECT_EQ(Parse("<updater><version>10200030005</version>").result, 0);
    EXPECT_EQ(Parse("").result, 0);
    EXPECT_EQ(Parse("<Updater><version>10200030005</version></Updater>").result, 0);
    updater = std::make_unique<ManifestUpdater>(&proxy, folder.wide(L"missing.xml"));
    updater->ParseManifest();
    EXPECT_EQ(updater->result, 0);
}

TEST_F(Manifest, ManifestsAboveOneMebibyteAreRefusedUnread) {
    const std::string head = "<updater><version>10200030005</version><!--";
    const std::string tail = "--></updater>";
    std::string atLimit = head + std::string(kMaxManifestBytes - head.size() - tail.size(), 'x');
    atLimit += tail;
    ASSERT_EQ(atLimit.size(), kMaxManifestBytes);
    EXPECT_TRUE(Parse(atLimit).newVersion);

    std::string above = head + std::string(kMaxManifestBytes - head.size() - tail.size() + 1, 'x');
    above += tail;
    EXPECT_EQ(Parse(above).result, 0);
    EXPECT_FALSE(updater->newVersion);
}

TEST_F(Manifest, NotesOfEveryNewerVersionInDocumentOrder) {
    ManifestUpdater& parsed = Parse(R"(<?xml version="1.0" encoding="utf-8"?>
<updater>
  <version>10200030006</version>
  <des>
    <v6><ver>10200030006</ver><log><line>six a</line><line>six <b>b</b></line></log></v6>
    <v5><ver>10200030005</ver><log><line>five</line></log></v5>
    <nolog><ver>10200030005</ver></nolog>
    <v4><ver>10200030004</ver><log><line>four</line></log></v4>
  </des>
</updater>)");
    ASSERT_TRUE(parsed.newVersion);
    EXPECT_EQ(parsed.GetDescription(), L"six a\r\nsix b\r\n");
    EXPECT_EQ(parsed.GetLog(), L"six a\r\nsix b\r\n\r\nfive\r\n\r\n");
}

TEST_F(Manifest, ANoteWhoseFirstChildIsNotVerEndsTheNotes) {
    ManifestUpdater& parsed = Parse(R"(<updater><version>10200030006</version><des>
    <!-- a comment between entries is skipped -->
    <a><ver>10200030006</ver><log><line>kept</line></log></a>
    <b><!-- but one inside an entry ends the walk --><ver>10200030005</ver>
       <log><line>lost</line></log></b>
    <c><ver>10200030005</ver><log><line>lost too</line></log></c>
    </des></updater>)");
    EXPECT_EQ(parsed.GetLog(), L"kept\r\n\r\n");

    ManifestUpdater& other = Parse(R"(<updater><version>10200030006</version><des>
    <a><log><line>x</line></log><ver>10200030006</ver></a></des></updater>)");
    EXPECT_EQ(other.GetLog(), L"");
    EXPECT_EQ(other.GetDescription(), L"");
}

TEST_F(Manifest, CodePage936ManifestsKeepTheirText) {
    // "更新" in GB2312.
    ManifestUpdater& parsed = Parse(
        "<?xml version=\"1.0\" encoding=\"gb2312\"?><updater><version>10200030005</version>"
        "<des><n><ver>10200030005</ver><log><line>\xB8\xFC\xD0\xC2</line></log></n></des>"
        "</updater>");
    EXPECT_EQ(parsed.GetDescription(), L"\u66F4\u65B0\r\n");
}

TEST_F(Manifest, FileListKeepsFilesNewerThanTheRunningVersionOrUnversioned) {
    ManifestUpdater& parsed = Parse(R"(<updater><version>10200030005</version><download>
      <file><link>files/client.dll</link><md5>0123456789abcdef0123456789abcdef</md5>
            <ver>10200030005</ver></file>
      <file><link>same.dll</link><ver>10200030004</ver></file>
      <file><link>unversioned.dat</link></file>
      <file><link>zero.dat</link><ver>0</ver></file>
      <file><link>negative.dat</link><ver>-3</ver></file>
      <file><link>sub/deeper/a.dll</link><md5></md5><ver>10200030009</ver></file>
    </download></updater>)");
    ASSERT_TRUE(parsed.newVersion);
    const std::wstring base = L"http://127.0.0.1/app/update/";
    const std::vector<DownloadEntry> expected = {
        {base + L"files/client.dll", L"0123456789abcdef0123456789abcdef"},
        {base + L"unversioned.dat", L""},
        {base + L"zero.dat", L""},
        {base + L"negative.dat", L""},
        {base + L"sub/deeper/a.dll", L""},
    };
    EXPECT_EQ(parsed.Downloads(), expected);
    EXPECT_EQ(parsed.Names(), (std::vector<std::wstring>{L"client.dll", L"unversioned.dat",
                                                         L"zero.dat", L"negative.dat", L"a.dll"}));
}

TEST_F(Manifest, LogLinesEachEndWithALineBreak) {
    platform::CXmlDocument document;
    ASSERT_TRUE(
        document.LoadText(L"<log><line> a </line><x>not a line</x><line/>"
                          L"<line>b<![CDATA[&c]]></line></log>"));
    std::wstring out = L"before\r\n";
    ManifestUpdater::GetLogLines(document.Root().SelectSingle("log"), out);
    EXPECT_EQ(out, L"before\r\na\r\n\r\nb&c\r\n");
}

TEST(ParseInt64, ReadsLikeTheCRuntime) {
    EXPECT_EQ(ParseInt64(L"  -12abc"), -12);
    EXPECT_EQ(ParseInt64(L"+7"), 7);
    EXPECT_EQ(ParseInt64(L"abc"), 0);
    EXPECT_EQ(ParseInt64(L""), 0);
    EXPECT_EQ(ParseInt64(L"9223372036854775807"), LLONG_MAX);
    EXPECT_EQ(ParseInt64(L"99999999999999999999"), LLONG_MAX);
    EXPECT_EQ(ParseInt64(L"-9223372036854775808"), LLONG_MIN);
    EXPECT_EQ(ParseInt64(L"-99999999999999999999"), LLONG_MIN);
}

}  // namespace
