// Redirect targets are resolved against the URL that answered, and stay http or https.
#include <gtest/gtest.h>

#include "platform/http_request.h"

namespace {

TEST(HttpRequestLocation, RelativeTargetsResolveAgainstTheAnsweringUrl) {
    const std::string base = "http://updates.example:8080/desktop/app/update.xml?id=A&ver=1";
    EXPECT_EQ("http://updates.example:8080/desktop/app/files/a.dll",
              CHttpRequest::ResolveLocation(base, "files/a.dll"));
    EXPECT_EQ("http://updates.example:8080/desktop/a.dll",
              CHttpRequest::ResolveLocation(base, "../a.dll"));
    EXPECT_EQ("http://updates.example:8080/root.dll",
              CHttpRequest::ResolveLocation(base, "/root.dll"));
    EXPECT_EQ("http://mirror.example/a.dll",
              CHttpRequest::ResolveLocation(base, "//mirror.example/a.dll"));
}

TEST(HttpRequestLocation, AbsoluteTargetsAreKeptAndOtherSchemesRefused) {
    const std::string base = "http://updates.example/a.dll";
    EXPECT_EQ("https://cdn.example/x/a.dll?sig=1",
              CHttpRequest::ResolveLocation(base, "https://cdn.example/x/a.dll?sig=1"));
    EXPECT_EQ("", CHttpRequest::ResolveLocation(base, "ftp://files.example/a.dll"));
    EXPECT_EQ("", CHttpRequest::ResolveLocation(base, "file:///etc/passwd"));
    EXPECT_EQ("", CHttpRequest::ResolveLocation("ftp://files.example/a", "b.dll"));
}

TEST(HttpRequestLocation, OnlyHttpAndHttpsAreSupported) {
    EXPECT_TRUE(CHttpRequest::IsSupportedUrl("HTTP://Example/a"));
    EXPECT_TRUE(CHttpRequest::IsSupportedUrl("https://example/a"));
    EXPECT_FALSE(CHttpRequest::IsSupportedUrl("ftp://example/a"));
    EXPECT_FALSE(CHttpRequest::IsSupportedUrl("example/a"));
}

}  // namespace
