// The platform's XML document as the manifest reader uses it: selections, DOM text, and
// documents nested far deeper than any manifest.
#include <gtest/gtest.h>

#include <string>

#include "platform/xml_document.h"
#include "update/xml_document.h"

namespace {

std::string Nested(int depth) {
    std::string xml = "<updater>";
    for (int i = 0; i < depth; ++i) {
        xml += "<a>";
    }
    xml += "deep";
    for (int i = 0; i < depth; ++i) {
        xml += "</a>";
    }
    return xml + "</updater>";
}

TEST(XmlDocument, SelectionsFollowChildElementsInDocumentOrder) {
    platform::CXmlDocument document;
    ASSERT_TRUE(document.LoadText(
        L"<updater><download><file><link>1</link></file><!-- c --><other><file/></other>"
        L"<file><link>2</link></file></download><download><file><link>3</link></file>"
        L"</download></updater>"));
    const platform::CXmlNode root = document.Root().SelectSingle("updater");
    ASSERT_TRUE(root);
    std::vector<std::wstring> links;
    for (const platform::CXmlNode& file : root.SelectAll("download/file")) {
        links.push_back(file.SelectSingle("link").Text());
    }
    EXPECT_EQ(links, (std::vector<std::wstring>{L"1", L"2", L"3"}));
    EXPECT_FALSE(root.SelectSingle("download/missing"));
    EXPECT_EQ(root.SelectSingle("download/file/link").Text(), L"1");

    // Comments are nodes; white space between elements is not.
    platform::CXmlNode comment = root.SelectSingle("download").FirstChild().NextSibling();
    EXPECT_FALSE(comment.IsElement());
    EXPECT_EQ(comment.Name(), "");
}

TEST(XmlDocument, TextAndDepthOfAHundredThousandLevelsNeedNoDeepStack) {
    const std::string xml = Nested(100000);
    platform::CXmlDocument document;
    ASSERT_TRUE(document.Load(xml.data(), xml.size()));
    EXPECT_EQ(document.GetDepth(), 100001u);
    EXPECT_EQ(document.Root().SelectSingle("updater").Text(), L"deep");
}

TEST(XmlDocument, ManifestsNestedPastTheBoundAreRefused) {
    platform::CXmlDocument manifest;
    EXPECT_EQ(LoadXmlBytes(Nested(100000), manifest), E_FAIL);
    EXPECT_FALSE(manifest.Root().FirstChild());
    EXPECT_EQ(LoadXmlBytes(Nested(kMaxManifestDepth - 1), manifest), S_OK);
    EXPECT_EQ(LoadXmlBytes(Nested(kMaxManifestDepth), manifest), E_FAIL);
}

TEST(XmlDocument, BadBytesLeaveAnEmptyDocument) {
    platform::CXmlDocument document;
    ASSERT_TRUE(document.LoadText(L"<a/>"));
    const std::string broken = "<a><b></a>";
    EXPECT_FALSE(document.Load(broken.data(), broken.size()));
    EXPECT_FALSE(document.Root().FirstChild());
    EXPECT_EQ(document.GetDepth(), 0u);
}

}  // namespace
