#include "platform/trusted_pages.h"

#include <gtest/gtest.h>

#include "browser/local_page.h"
#include "platform/text_encoding.h"

using platform::CTrustedPages;

TEST(TrustedPages, ServiceHostsAreTrustedOnTheirOwnPortsOnly) {
    CTrustedPages trusted;
    ASSERT_TRUE(trusted.AddHost(L"www.Quorvi.example"));
    ASSERT_TRUE(trusted.AddHost(L"127.0.0.1:8123"));
    EXPECT_FALSE(trusted.AddHost(L""));
    EXPECT_FALSE(trusted.AddHost(L"evil.example/path"));
    EXPECT_FALSE(trusted.AddHost(L"user@evil.example"));

    for (const wchar_t* url : {L"http://www.quorvi.example/m", L"https://www.quorvi.example/m?x#y",
                               L"http://www.quorvi.example:80/", L"HTTP://WWW.QUORVI.EXAMPLE/m",
                               L"http://127.0.0.1:8123/page.html", L"https://127.0.0.1:8123/"}) {
        EXPECT_TRUE(trusted.IsTrusted(url)) << url;
    }
    for (const wchar_t* url :
         {L"http://www.quorvi.example:8080/m", L"https://www.quorvi.example:80/",
          L"http://www.quorvi.example.evil.example/", L"http://evil.example/www.quorvi.example",
          L"http://www.quorvi.example@evil.example/", L"http://127.0.0.1:8124/",
          L"http://127.0.0.1/", L"ftp://www.quorvi.example/", L"data:text/html,x", L"javascript:1",
          L"about:blank", L"about:srcdoc", L"", L"www.quorvi.example/m"}) {
        EXPECT_FALSE(trusted.IsTrusted(url)) << url;
    }
    trusted.SetHttpsOnly(true);
    EXPECT_FALSE(trusted.IsTrusted(L"http://www.quorvi.example/m"));
    EXPECT_TRUE(trusted.IsTrusted(L"https://www.quorvi.example/m"));
    EXPECT_EQ(trusted.ScriptOrigins(), (std::vector<std::wstring>{L"https://www.quorvi.example",
                                                                  L"https://127.0.0.1:8123"}));
}

TEST(TrustedPages, LocalPagesOnlyInsideTheFolder) {
    CTrustedPages trusted;
    trusted.AddFolder(L"/opt/song deck/res");
    trusted.AddFolder(L"relative/res");  // not a place: ignored
    EXPECT_EQ(trusted.Folders(), (std::vector<std::wstring>{L"/opt/song deck/res/"}));
    for (const wchar_t* url :
         {L"/opt/song deck/res/main.html", L"/opt/song deck/res\\Option.html",
          L"file:///opt/song%20deck/res/about.html", L"file://localhost/opt/song%20deck/res/x.html",
          L"/opt/song deck/res/sub/./update.html"}) {
        EXPECT_TRUE(trusted.IsTrusted(url)) << url;
    }
    for (const wchar_t* url :
         {L"/opt/song deck/res", L"/opt/song deck/res2/main.html", L"/opt/song deck/main.html",
          L"/opt/song deck/res/../secret.html", L"file:///opt/song%20deck/res/..%2Fsecret.html",
          L"file://evil.example/opt/song%20deck/res/main.html", L"relative/res/main.html",
          L"file:///opt/song%20deck/res/%00.html"}) {
        EXPECT_FALSE(trusted.IsTrusted(url)) << url;
    }
}

// One answer to "is this a page of ours" for a page a window names and a page a view reports.
TEST(TrustedPages, LocalPageAndPopupPathAgreeOnEveryStep) {
    CTrustedPages trusted;
    trusted.AddFolder(L"/opt/songdeck/res");
    const struct {
        const wchar_t* step;  // after res/
        bool plain;
    } rows[] = {{L"main.html", true},          {L"sub/v1.2.html", true},
                {L"..a.html", true},           {L"a..b/x.html", true},
                {L"CONSOLE.html", true},       {L"com10.html", true},
                {L"../x.html", false},         {L"sub/../../x.html", false},
                {L"..%20/evil.html", false},   {L"%2e%2e/x.html", false},
                {L"%252e%252E/x.html", false}, {L".../x.html", false},
                {L".. /x.html", false},        {L"sub\\..\\..\\x.html", false},
                {L"x.html:ads", false},        {L"x.html%3aads", false},
                {L"C:x.html", false},          {L"CON", false},
                {L"nul.txt", false},           {L"sub/Com1.html", false},
                {L"LPT9 .html", false},        {L"conout$", false},
                {L"aux%2Ehtml", false}};
    for (const auto& row : rows) {
        const std::wstring step = row.step;
#ifndef _WIN32  // the folder is written POSIX-style
        EXPECT_EQ(trusted.IsTrusted(L"/opt/songdeck/res/" + step), row.plain) << WideToUtf8(step);
#endif
        EXPECT_EQ(IsResPagePath(L"res/" + step), row.plain) << WideToUtf8(step);
    }
}
