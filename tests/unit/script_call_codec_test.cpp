#include "platform/script_call_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using platform::CScriptRequest;
using platform::EncodeScriptAnswer;

TEST(ScriptRequest, DecodesLookUpAndCallWithEveryArgumentKind) {
    CScriptRequest lookUp;
    ASSERT_EQ(lookUp.Decode(R"(["l","IsTavnelClient","http://h/p"])"), S_OK);
    EXPECT_EQ(lookUp.m_nKind, CScriptRequest::kLookUp);
    EXPECT_EQ(lookUp.m_strName, L"IsTavnelClient");
    EXPECT_EQ(lookUp.m_strFrameUrl, L"http://h/p");

    CScriptRequest frame;
    ASSERT_EQ(frame.Decode(R"(["d","file:///tmp/f.html"])"), S_OK);
    EXPECT_EQ(frame.m_nKind, CScriptRequest::kFrameLoaded);
    EXPECT_EQ(frame.m_strFrameUrl, L"file:///tmp/f.html");

    CScriptRequest size;
    ASSERT_EQ(size.Decode(R"(["s","400px","","file:///tmp/p.html"])"), S_OK);
    EXPECT_EQ(size.m_nKind, CScriptRequest::kPageSize);
    EXPECT_EQ(size.m_strName, L"400px");
    EXPECT_EQ(size.m_strHeight, L"");
    EXPECT_EQ(size.m_strFrameUrl, L"file:///tmp/p.html");

    CScriptRequest call;
    ASSERT_EQ(call.Decode(R"( [ "c" , "Alert", 1, ["t\"\\\n", 7, -2147483648, 2147483648, 1.5,)"
                          R"( true, false, null, {"n":"-Infinity"}] , "u" ] )"),
              S_OK);
    EXPECT_EQ(call.m_nKind, CScriptRequest::kCall);
    EXPECT_EQ(call.m_wFlags, DISPATCH_METHOD);
    ASSERT_EQ(call.m_args.size(), 9u);
    EXPECT_EQ(call.m_args[0].vt, VT_BSTR);
    EXPECT_EQ(std::wstring(call.m_args[0].bstrVal, SysStringLen(call.m_args[0].bstrVal)),
              L"t\"\\\n");
    EXPECT_EQ(call.m_args[1].vt, VT_I4);
    EXPECT_EQ(call.m_args[1].lVal, 7);
    EXPECT_EQ(call.m_args[2].vt, VT_I4);
    EXPECT_EQ(call.m_args[2].lVal, INT32_MIN);
    // Integral but beyond 32 bits, and fractional: doubles.
    EXPECT_EQ(call.m_args[3].vt, VT_R8);
    EXPECT_EQ(call.m_args[3].dblVal, 2147483648.0);
    EXPECT_EQ(call.m_args[4].vt, VT_R8);
    EXPECT_EQ(call.m_args[4].dblVal, 1.5);
    EXPECT_EQ(call.m_args[5].vt, VT_BOOL);
    EXPECT_EQ(call.m_args[5].boolVal, VARIANT_TRUE);
    EXPECT_EQ(call.m_args[6].vt, VT_BOOL);
    EXPECT_EQ(call.m_args[6].boolVal, VARIANT_FALSE);
    EXPECT_EQ(call.m_args[7].vt, VT_EMPTY);
    EXPECT_EQ(call.m_args[8].vt, VT_R8);
    EXPECT_TRUE(std::isinf(call.m_args[8].dblVal) && call.m_args[8].dblVal < 0);
}

TEST(ScriptRequest, KeepsNonAsciiPairsLoneSurrogatesAndNulAsTheScriptHadThem) {
    CScriptRequest call;
    // "é" raw in UTF-8, an escaped pair, a lone high surrogate, an embedded NUL.
    ASSERT_EQ(call.Decode("[\"c\",\"X\",1,[\"\xC3\xA9\\ud83d\\ude00\\ud800a\\u0000b\"],\"u\"]"),
              S_OK);
    ASSERT_EQ(call.m_args.size(), 1u);
    std::wstring text(call.m_args[0].bstrVal, SysStringLen(call.m_args[0].bstrVal));
    std::wstring expected;
    expected += L'\u00e9';
    if constexpr (sizeof(wchar_t) == 4) {
        expected += static_cast<wchar_t>(0x1F600);
    } else {
        expected += static_cast<wchar_t>(0xD83D);
        expected += static_cast<wchar_t>(0xDE00);
    }
    expected += static_cast<wchar_t>(0xD800);
    expected += L'a';
    expected += L'\0';
    expected += L'b';
    EXPECT_EQ(text, expected);
}

TEST(ScriptRequest, RefusesMalformedOrForeignRequests) {
    const char* malformed[] = {
        "",
        "[]",
        "{\"c\":1}",
        "[\"x\",\"A\"]",
        "[\"c\",\"A\",1,[\"unterminated]]",
        "[\"c\",\"A\",1,[1,]]",
        "[\"c\",\"A\",1,[1],\"u\"] trailing",
        "[\"c\",\"A\",1,[1]]",  // no frame address
        "[\"l\",\"A\"]",
        "[\"s\",\"1px\",\"u\"]",
        "[\"c\",\"A\",1,[\"\xED\xA0\x80\"],\"u\"]",  // a surrogate encoded in UTF-8
        "[\"c\",\"A\",1,[\"\xED\xBF\xBF\"],\"u\"]",
        "[\"c\",\"A\",3,[]]",  // flags other than a call or a read
        "[\"c\",\"A\",1.5,[]]",
        "[\"c\",\"A\",1,[\"\\x\"]]",       // unknown escape
        "[\"c\",\"A\",1,[\"\xC3\"]]",      // cut UTF-8
        "[\"c\",\"A\",1,[\"\xC0\xAF\"]]",  // overlong UTF-8
        "[\"c\",\"A\",1,[-]]",
        "[\"c\",\"A\",1,[tru]]",
    };
    for (const char* text : malformed) {
        CScriptRequest request;
        EXPECT_EQ(request.Decode(text), E_FAIL) << text;
    }
    std::string huge =
        "[\"c\",\"A\",1,[\"" + std::string(platform::kMaxScriptRequestBytes, 'a') + "\"]]";
    CScriptRequest big;
    EXPECT_EQ(big.Decode(huge), E_FAIL);
}

TEST(ScriptRequest, SixtyFourArgumentsPassAndMoreAreRefusedBeforeTheyAreRead) {
    auto callWith = [](size_t count, const std::string& arg) {
        std::string text = "[\"c\",\"A\",1,[";
        for (size_t i = 0; i < count; ++i) {
            text += (i == 0 ? "" : ",") + arg;
        }
        return text + "],\"u\"]";
    };
    CScriptRequest most;
    ASSERT_EQ(most.Decode(callWith(platform::kMaxScriptArguments, "\"\"")), S_OK);
    EXPECT_EQ(most.m_args.size(), 64u);
    CScriptRequest tooMany;
    EXPECT_EQ(tooMany.Decode(callWith(65, "1")), DISP_E_BADPARAMCOUNT);
    // A flood of empty strings stops at the cap instead of becoming millions of values.
    CScriptRequest flood;
    EXPECT_EQ(flood.Decode(callWith(1000000, "\"\"")), DISP_E_BADPARAMCOUNT);
    EXPECT_LE(flood.m_args.size(), 64u);
}

TEST(ScriptRequest, NamesThatAreNotTextAndObjectArgumentsAreTypeMismatches) {
    const char* mismatched[] = {
        "[\"l\",5]",
        "[\"c\",{\"a\":[1,2]},1,[]]",
        "[\"c\",\"A\",1,[{\"t\":\"function\"}]]",
        "[\"c\",\"A\",1,[\"ok\",[1,[2]]]]",
        "[\"c\",\"A\",1,[{\"n\":\"seven\"}]]",
    };
    for (const char* text : mismatched) {
        CScriptRequest request;
        EXPECT_EQ(request.Decode(text), DISP_E_TYPEMISMATCH) << text;
    }
    // Deep nesting from a hostile page ends in an error, not in a stack overflow.
    std::string deep = "[\"c\",\"A\",1,[" + std::string(100000, '[') + "]]";
    CScriptRequest request;
    EXPECT_EQ(request.Decode(deep), E_FAIL);
}

TEST(ScriptAnswer, EncodesEveryResultKindAsAsciiJson) {
    EXPECT_EQ(EncodeScriptAnswer(S_OK, nullptr), "{\"h\":0}");
    EXPECT_EQ(EncodeScriptAnswer(DISP_E_UNKNOWNNAME, nullptr), "{\"h\":-2147352570}");
    VARIANT v;
    VariantInit(&v);
    EXPECT_EQ(EncodeScriptAnswer(S_OK, &v), "{\"h\":0}");
    v.vt = VT_BOOL;
    v.boolVal = 1;  // commands store true as 1
    EXPECT_EQ(EncodeScriptAnswer(S_OK, &v), "{\"h\":0,\"v\":true}");
    v.vt = VT_I4;
    v.lVal = -12;
    EXPECT_EQ(EncodeScriptAnswer(S_OK, &v), "{\"h\":0,\"v\":-12}");
    v.vt = VT_R8;
    v.dblVal = 100000001000000.5;
    EXPECT_EQ(EncodeScriptAnswer(S_OK, &v), "{\"h\":0,\"v\":100000001000000.5}");
    v.dblVal = NAN;
    EXPECT_EQ(EncodeScriptAnswer(S_OK, &v), "{\"h\":0,\"v\":{\"n\":\"NaN\"}}");
    v.vt = VT_DISPATCH;
    v.pdispVal = nullptr;
    EXPECT_EQ(EncodeScriptAnswer(S_OK, &v), "{\"h\":0}");

    std::wstring text = L"a\"\\\n\u00e9";
    text += static_cast<wchar_t>(0xDC00);  // lone low surrogate
    if constexpr (sizeof(wchar_t) == 4) {
        text += static_cast<wchar_t>(0x1F600);
    }
    text += L'\0';
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    std::string expected = "{\"h\":0,\"v\":\"a\\\"\\\\\\u000a\\u00e9\\udc00";
    if constexpr (sizeof(wchar_t) == 4) {
        expected += "\\ud83d\\ude00";
    }
    expected += "\\u0000\"}";
    EXPECT_EQ(EncodeScriptAnswer(S_OK, &v), expected);
    VariantClear(&v);
}

TEST(ScriptAnswer, TextSurvivesTheRoundTripThroughARequest) {
    std::wstring text;
    for (wchar_t c : {L'x', static_cast<wchar_t>(0xD834), L'\u4e2d', static_cast<wchar_t>(0x7F),
                      static_cast<wchar_t>(1)}) {
        text += c;
    }
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    std::string answer = EncodeScriptAnswer(S_OK, &v);
    std::string value = answer.substr(answer.find("\"v\":") + 4);
    value.pop_back();
    CScriptRequest request;
    ASSERT_EQ(request.Decode("[\"c\",\"A\",1,[" + value + "],\"u\"]"), S_OK);
    EXPECT_EQ(std::wstring(request.m_args[0].bstrVal, SysStringLen(request.m_args[0].bstrVal)),
              text);
    VariantClear(&v);
}
