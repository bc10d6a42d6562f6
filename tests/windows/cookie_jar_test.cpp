// The cookie commands' store on Windows: WinINet's jar, shared with the browser control, with
// the HttpOnly cookies a server sets out of the commands' reach.
#include <windows.h>

#include <wininet.h>

#include <gtest/gtest.h>

#include "commands/cookie_commands.h"
#include "platform/text_encoding.h"
#include "platform/web_view.h"
#include "support/test_http_server.h"

namespace {

using testsupport::HttpTestReply;
using testsupport::HttpTestRequest;
using testsupport::TestHttpServer;

// Fetches url through WinINet with its cookie handling on, as the browser control does, so the
// server's Set-Cookie lands in the shared jar; the status code, or 0.
DWORD FetchWithCookies(const std::wstring& url) {
    HINTERNET session =
        InternetOpenW(L"SongDeckTest", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (session == nullptr) {
        return 0;
    }
    DWORD status = 0;
    HINTERNET request = InternetOpenUrlW(session, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
    if (request != nullptr) {
        DWORD size = sizeof(status);
        HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                       nullptr);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return status;
}

TEST(CookieJar, PagesCookiesComeBackAndHttpOnlyOnesStayOutOfReach) {
    TestHttpServer server;
    server.On("/login", [](const HttpTestRequest&) {
        HttpTestReply reply = HttpTestReply::Text(200, "signed in");
        reply.headers.emplace_back("Set-Cookie", "sid=secret; Path=/; HttpOnly");
        reply.headers.emplace_back("Set-Cookie", "theme=dark; Path=/");
        return reply;
    });
    const std::wstring page = server.WideUrl("/m");
    ASSERT_EQ(FetchWithCookies(server.WideUrl("/login")), 200u);

    // The page's own cookie is there; the HttpOnly one is not, in any form.
    std::wstring text;
    ASSERT_TRUE(platform::GetCookieText(page, &text));
    EXPECT_EQ(FindCookieInText(text, L"theme"), L"theme=dark");
    EXPECT_EQ(text.find(L"sid"), std::wstring::npos) << WideToUtf8(text);
    std::wstring value;
    EXPECT_TRUE(ReadCookie(page, L"sid", value));
    EXPECT_EQ(value, L"");

    // A lasting cookie is kept with its attributes passed on (plain ones: the script test).
    EXPECT_TRUE(platform::SetCookieText(page, L"b", L"2; expires=Fri, 01 Jan 2100 00:00:00 GMT"));
    EXPECT_TRUE(ReadCookie(page, L"b", value));
    EXPECT_EQ(value, L"b=2");

    // Neither replacing, shadowing nor deleting the server's HttpOnly cookie, however it is
    // written, nor planting one.
    EXPECT_FALSE(platform::SetCookieText(page, L"sid", L"forged"));
    EXPECT_FALSE(platform::SetCookieText(page, L"SID", L"forged"));
    EXPECT_FALSE(platform::SetCookieText(page, L"sid", L"forged; Path=/m"));
    EXPECT_FALSE(platform::SetCookieText(page, L"sid", L"x; Max-Age=0"));
    EXPECT_FALSE(platform::SetCookieText(page, L"", L"sid=forged"));
    EXPECT_FALSE(platform::SetCookieText(page, L"other", L"1; HttpOnly"));
    EXPECT_FALSE(platform::SetCookieText(server.WideUrl("/elsewhere/x"), L"sid", L"1; Path=/"));
    // Only web addresses have cookies.
    EXPECT_FALSE(platform::SetCookieText(L"file:///C:/res/main.html", L"a", L"1"));
    EXPECT_FALSE(platform::GetCookieText(L"about:blank", &text));

    // The server still gets its own cookie, unchanged.
    std::wstring all(4096, L'\0');
    DWORD size = static_cast<DWORD>(all.size());
    ASSERT_TRUE(InternetGetCookieExW(page.c_str(), L"sid", &all[0], &size, INTERNET_COOKIE_HTTPONLY,
                                     nullptr));
    EXPECT_NE(std::wstring(all.c_str()).find(L"sid=secret"), std::wstring::npos);
}

TEST(CookieJar, ADomainCookieCannotShadowAServiceHostsHttpOnlyCookie) {
    // A host-only HttpOnly cookie of www, as its server would set it.
    ASSERT_NE(InternetSetCookieExW(L"http://www.shadow.example/", L"sid", L"secret; HttpOnly",
                                   INTERNET_COOKIE_HTTPONLY, 0),
              0u);
    const std::vector<std::wstring> hosts{L"www.shadow.example"};
    EXPECT_FALSE(platform::SetCookieText(L"http://shadow.example/", L"sid",
                                         L"x; Domain=shadow.example", hosts));
    EXPECT_FALSE(platform::SetCookieText(L"http://api.shadow.example/", L"SID",
                                         L"x; Domain=.shadow.example", hosts));
    // Another name, or a domain that does not cover www, is no shadow.
    EXPECT_TRUE(platform::SetCookieText(L"http://shadow.example/", L"theme",
                                        L"x; Domain=shadow.example", hosts));
    EXPECT_TRUE(platform::SetCookieText(L"http://api.shadow.example/", L"sid", L"x", hosts));
}

}  // namespace
