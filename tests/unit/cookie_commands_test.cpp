// The cookie commands over a stand-in store: which cookie a name finds, argument positions,
// results, and log lines that never carry a cookie's data.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "command_test_support.h"
#include "commands/cookie_commands.h"
#include "platform/text_encoding.h"

using commandtest::Args;
using commandtest::Call;
using commandtest::Result;

namespace {

// The store's texts by URL, and what the commands asked it to set.
struct FakeStore {
    static std::map<std::wstring, std::wstring> texts;
    static std::vector<std::wstring> writes;
    static bool refuse;
    static bool Get(const std::wstring& url, std::wstring* text) {
        auto it = texts.find(url);
        *text = it != texts.end() ? it->second : L"";
        return !text->empty();
    }
    static bool Set(const std::wstring& url, const std::wstring& name, const std::wstring& data,
                    const std::vector<std::wstring>& hosts) {
        EXPECT_EQ(hosts, (std::vector<std::wstring>{L"h", L"none", L"www.svc.example"}));
        writes.push_back(url + L"|" + name + L"|" + data);
        return !refuse;
    }
    static platform::CTrustedPages Services() {
        platform::CTrustedPages services;
        for (const wchar_t* host : {L"h", L"none:8080", L"www.svc.example", L"h:81"}) {
            services.AddHost(host);
        }
        return services;
    }
};
std::map<std::wstring, std::wstring> FakeStore::texts;
std::vector<std::wstring> FakeStore::writes;
bool FakeStore::refuse = false;
const CCookieStore kFakeStore{FakeStore::Get, FakeStore::Set, FakeStore::Services};

class CookieCommands : public commandtest::LoggedLines {
protected:
    void SetUp() override {
        LoggedLines::SetUp();
        FakeStore::texts.clear();
        FakeStore::writes.clear();
        FakeStore::refuse = false;
    }
    std::wstring Get(const std::wstring& url, const std::wstring& name) {
        Args args;
        args.Text(url).Text(name);
        Result result;
        EXPECT_EQ(Call(m_get, DISPATCH_METHOD, args, &result.value), S_OK);
        EXPECT_EQ(result.value.vt, VT_BSTR);
        return result.Text();
    }
    CInvokeHandler_GetCookie m_get{L"GetCookie", kFakeStore};
    CInvokeHandler_SetCookie m_set{L"SetCookie", kFakeStore};
};

}  // namespace

TEST(FindCookieInText, OnlyTheFirstOccurrenceAtAPairStartCounts) {
    EXPECT_EQ(FindCookieInText(L"a=1; b=2", L"b"), L"b=2");
    EXPECT_EQ(FindCookieInText(L"a=1; b=2", L"a"), L"a=1");
    EXPECT_EQ(FindCookieInText(L"ab=1; b=2", L"b"), L"");
    EXPECT_EQ(FindCookieInText(L"a=1", L"c"), L"");
    EXPECT_EQ(FindCookieInText(L"a=; b=2", L"a"), L"a=");
    EXPECT_EQ(FindCookieInText(L"x=1;b=2", L"b"), L"b=2");
    // Names are exact (case counts); a blank inside a value starts a pair as the store would.
    EXPECT_EQ(FindCookieInText(L"B=1; b=2", L"b"), L"b=2");
    EXPECT_EQ(FindCookieInText(L"q=x b=9; b=2", L"b"), L"b=9");
}

TEST(ReadCookie, AnswersWhetherTheUrlHasCookiesAndTheNamedPair) {
    FakeStore::texts = {{L"http://h/", L"a=1; b=2"}};
    std::wstring cookie = L"stale";
    EXPECT_EQ(ReadCookie(L"http://h/", L"b", cookie, kFakeStore), TRUE);
    EXPECT_EQ(cookie, L"b=2");
    EXPECT_EQ(ReadCookie(L"http://h/", L"zz", cookie, kFakeStore), TRUE);
    EXPECT_EQ(cookie, L"");
    cookie = L"stale";
    EXPECT_EQ(ReadCookie(L"http://other/", L"a", cookie, kFakeStore), FALSE);
    EXPECT_EQ(cookie, L"");
}

TEST_F(CookieCommands, GetCookieAnswersTheValueAndLogsOnlyItsLength) {
    FakeStore::texts = {{L"http://h/", L"a=1; sid=secret-token; b=2"}};
    EXPECT_EQ(Get(L"http://h/", L"sid"), L"secret-token");
    EXPECT_EQ(Get(L"http://h/", L"a"), L"1");
    EXPECT_EQ(Get(L"http://h/", L"c"), L"");
    EXPECT_EQ(Get(L"http://none/", L"a"), L"");
    std::vector<std::string> lines = Lines();
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "call GetCookie, URL=http://h/, CookieName=sid, CookieData length:12",
                         "call GetCookie, URL=http://h/, CookieName=a, CookieData length:1",
                         "call GetCookie, URL=http://h/, CookieName=c, CookieData length:0",
                         "call GetCookie, URL=http://none/, CookieName=a, CookieData length:0"}));
}

TEST_F(CookieCommands, GetCookieRefusesReadsWithASlotAndReadsArgumentsInScriptOrder) {
    FakeStore::texts = {{L"http://h/", L"a=1"}};
    Args args;
    args.Text(L"http://h/").Text(L"a");
    Result result;
    EXPECT_EQ(Call(m_get, DISPATCH_PROPERTYGET, args, &result.value), E_NOTIMPL);
    EXPECT_EQ(Call(m_get, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args, &result.value), E_NOTIMPL);
    EXPECT_EQ(Call(m_get, 0, args, &result.value), S_OK);
    EXPECT_EQ(result.value.vt, VT_EMPTY);
    // Without a slot the whole pair was found: its length is logged.
    EXPECT_EQ(Call(m_get, DISPATCH_METHOD, args, nullptr), S_OK);
    Args swapped;
    swapped.Text(L"a").Text(L"http://h/");
    EXPECT_EQ(Call(m_get, DISPATCH_METHOD, swapped, &result.value), S_OK);
    EXPECT_EQ(result.Text(), L"");
    Args urlOnly;
    urlOnly.Text(L"http://h/");
    EXPECT_EQ(Call(m_get, DISPATCH_METHOD, urlOnly, nullptr), E_FAIL);
    EXPECT_EQ(Lines(), (std::vector<std::string>{
                           "call GetCookie, URL=http://h/, CookieName=a, CookieData length:3",
                           "call GetCookie refused: host (none) is not a host of the service"}));
}

TEST_F(CookieCommands, SetCookieHandsTheDataOverUnchangedAndAnswersTrueEvenWhenRefused) {
    Args args;
    args.Text(L"http://h/").Text(L"sid").Text(L"abc; max-age=60");
    Result result;
    EXPECT_EQ(Call(m_set, DISPATCH_METHOD, args, &result.value), S_OK);
    EXPECT_EQ(result.value.vt, VT_BOOL);
    EXPECT_EQ(result.value.boolVal, 1);
    FakeStore::refuse = true;
    Result refused;
    EXPECT_EQ(Call(m_set, DISPATCH_METHOD, args, &refused.value), S_OK);
    EXPECT_EQ(refused.value.boolVal, 1);
    EXPECT_EQ(FakeStore::writes, (std::vector<std::wstring>{L"http://h/|sid|abc; max-age=60",
                                                            L"http://h/|sid|abc; max-age=60"}));
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{
                  "call SetCookie, URL=http://h/, CookieName=sid, CookieData length:15",
                  "call SetCookie, URL=http://h/, CookieName=sid, CookieData length:15, refused "
                  "by the cookie store"}));
}

TEST_F(CookieCommands, SetCookieRefusesEveryReadAndNeedsAllThreeArguments) {
    Args args;
    args.Text(L"http://h/").Text(L"a").Text(L"1");
    EXPECT_EQ(Call(m_set, DISPATCH_PROPERTYGET, args, nullptr), E_NOTIMPL);
    EXPECT_EQ(Call(m_set, 0, args, nullptr), S_OK);
    Args two;
    two.Text(L"http://h/").Text(L"a");
    EXPECT_EQ(Call(m_set, DISPATCH_METHOD, two, nullptr), E_FAIL);
    Args number;
    number.Text(L"http://h/").Text(L"a").Int(1);
    EXPECT_EQ(Call(m_set, DISPATCH_METHOD, number, nullptr), DISP_E_TYPEMISMATCH);
    EXPECT_TRUE(FakeStore::writes.empty());
    EXPECT_TRUE(Lines().empty());
}

TEST_F(CookieCommands, OnlyTheServiceHostsAndTheirDomainAreReached) {
    for (const wchar_t* url :
         {L"https://www.svc.example/a", L"http://svc.example:9/", L"http://a.b.svc.example/"}) {
        FakeStore::texts = {{url, L"a=1"}};
        EXPECT_EQ(Get(url, L"a"), L"1") << WideToUtf8(url);
    }
    for (const wchar_t* url :
         {L"http://evil.example/?token=x", L"http://www.svc.example.evil.example/",
          L"http://evilsvc.example/", L"http://example/", L"http://user@www.svc.example/",
          L"ftp://www.svc.example/", L"http://svc.example\\.evil.example/", L"h/"}) {
        FakeStore::texts = {{url, L"a=1"}};
        EXPECT_EQ(Get(url, L"a"), L"") << WideToUtf8(url);
        Args args;
        args.Text(url).Text(L"a").Text(L"1");
        EXPECT_EQ(Call(m_set, DISPATCH_METHOD, args, nullptr), S_OK);
    }
    EXPECT_TRUE(FakeStore::writes.empty());
    ASSERT_EQ(Lines().size(), 19u);
    EXPECT_EQ(Lines()[3], "call GetCookie refused: host evil.example is not a host of the service");
}
