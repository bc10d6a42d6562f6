#include <gtest/gtest.h>

#include <string>

#include "app/helpers.h"
#include "platform/text_encoding.h"

namespace {

// "中文歌曲" in code page 936.
const char kChinese936[] = "\xD6\xD0\xCE\xC4\xB8\xE8\xC7\xFA";
const wchar_t kChineseWide[] = L"\u4E2D\u6587\u6B4C\u66F2";

TEST(TextConversion, NullInNullOut) {
    EXPECT_EQ(ToMultiByte936(nullptr).c_str(), nullptr);
    EXPECT_EQ(ToWide936(nullptr).c_str(), nullptr);
}

TEST(TextConversion, ChineseTextRoundTripsThroughCodePage936) {
    CMultiByteText narrow = ToMultiByte936(kChineseWide);
    EXPECT_STREQ(narrow.c_str(), kChinese936);
    EXPECT_EQ(narrow.size(), 8u);
    CWideText wide = ToWide936(narrow.c_str());
    EXPECT_STREQ(wide.c_str(), kChineseWide);
    EXPECT_EQ(wide.size(), 4u);
}

TEST(TextConversion, InlineBufferHoldsUpTo31WideCharacters) {
    std::wstring fits(31, L'a');
    CMultiByteText inside = ToMultiByte936(fits.c_str());
    EXPECT_TRUE(inside.IsInline());
    EXPECT_EQ(std::string(inside.c_str()), std::string(31, 'a'));

    std::wstring over(32, L'b');
    CMultiByteText heap = ToMultiByte936(over.c_str());
    EXPECT_FALSE(heap.IsInline());
    EXPECT_EQ(std::string(heap.c_str()), std::string(32, 'b'));
}

TEST(TextConversion, WideInlineBufferHolds127Bytes) {
    std::string fits(127, 'x');
    CWideText inside = ToWide936(fits.c_str());
    EXPECT_TRUE(inside.IsInline());
    EXPECT_EQ(std::wstring(inside.c_str()), std::wstring(127, L'x'));

    std::string over(128, 'y');
    CWideText heap = ToWide936(over.c_str());
    EXPECT_FALSE(heap.IsInline());
    EXPECT_EQ(heap.size(), 128u);
}

TEST(TextConversion, LongChineseTextConvertsOnTheHeap) {
    std::wstring text;
    for (int i = 0; i < 200; ++i) {
        text += kChineseWide;
    }
    CMultiByteText narrow = ToMultiByte936(text.c_str());
    EXPECT_EQ(narrow.size(), 1600u);
    EXPECT_EQ(std::wstring(ToWide936(narrow.c_str()).c_str()), text);
}

TEST(TextConversion, TextWithoutAFormIsReplacedNotRaised) {
    // An emoji has no code page 936 form, a lone lead byte is no text: both are replaced and
    // the rest of the text survives, so a stray byte in a file cannot stop its reader.
    EXPECT_STREQ(ToMultiByte936(L"ok\U0001F600\u4E2D!").c_str(), "ok?\xD6\xD0!");
    EXPECT_STREQ(ToWide936("a\x81!\xD6\xD0z").c_str(), L"a\uFFFD!\u4E2Dz");
    EXPECT_STREQ(ToWide936("end\xD6").c_str(), L"end\uFFFD");
}

HRESULT RaisedFor(int error) {
    errno = error;
    try {
        HResultFromLastError();
    } catch (const HResultError& raised) {
        return raised.hr;
    }
    ADD_FAILURE() << "nothing raised";
    return S_OK;
}

TEST(TextConversion, HResultFromLastErrorMapsErrno) {
    EXPECT_EQ(static_cast<uint32_t>(RaisedFor(13)), 0x8007000Du);
    EXPECT_EQ(static_cast<uint32_t>(RaisedFor(0x12345)), 0x80072345u);
    EXPECT_EQ(RaisedFor(0), 0);
}

TEST(TextEncoding, LossyFormsKeepWhatTheyCan) {
    EXPECT_EQ(EncodeText936(L"a\U0001F600\u4E2D"), std::string("a?\xD6\xD0"));
    EXPECT_EQ(DecodeText936("a\xD6\xD0\x81"
                            "\tb"),
              std::wstring(L"a\u4E2D\uFFFD\tb"));
}

// The original platform's table beyond GBK: the user-defined areas in order onto the
// private-use area, 0x80 and 0xFF, both ways.
TEST(TextEncoding, CodePage936FollowsTheOriginalTable) {
    EXPECT_EQ(DecodeText936("\x80\xFF"), std::wstring(L"\u20AC\uF8F5"));
    EXPECT_EQ(EncodeText936(L"\u20AC\uF8F5"), std::string("\x80\xFF"));
    struct Area {
        unsigned char firstLead, lastLead, firstTrail, lastTrail;
    };
    const Area areas[] = {
        {0xAA, 0xAF, 0xA1, 0xFE}, {0xF8, 0xFE, 0xA1, 0xFE}, {0xA1, 0xA7, 0x40, 0xA0}};
    std::string bytes;
    for (const Area& area : areas) {
        for (unsigned lead = area.firstLead; lead <= area.lastLead; ++lead) {
            for (unsigned trail = area.firstTrail; trail <= area.lastTrail; ++trail) {
                if (trail != 0x7F) {
                    bytes += static_cast<char>(lead);
                    bytes += static_cast<char>(trail);
                }
            }
        }
    }
    std::wstring expected;
    for (wchar_t ch = 0xE000; ch <= 0xE765; ++ch) {
        expected += ch;
    }
    EXPECT_EQ(DecodeText936(bytes), expected);
    EXPECT_EQ(EncodeText936(expected), bytes);
    EXPECT_EQ(DecodeText936("\xA1\x7E\xA1\x80"), std::wstring(L"\uE504\uE505"));
}

TEST(TextEncoding, AByteThatIsTextByItselfIsNeverSwallowed) {
    // A lead byte before a byte that cannot follow it, at the end, or in a pair without a
    // character: the lead is replaced, the next byte stays what it is.
    EXPECT_EQ(DecodeText936("\xD6\n=\xD6\x7F\xD6\x80"), std::wstring(L"\uFFFD\n=\uFFFD\x7F\u8B24"));
#ifdef _WIN32
    // Pairs are the system's: wine's table gives these three private-use characters.
    EXPECT_EQ(DecodeText936("\xA9\x5D|"), std::wstring(L"\uE7E4|"));
    EXPECT_EQ(DecodeText936("\xA2\xAB|"), std::wstring(L"\uE766|"));
    EXPECT_EQ(DecodeText936("\xFE\x50x"), std::wstring(L"\uE815x"));
#else
    EXPECT_EQ(DecodeText936("\xA9\x5D|"), std::wstring(L"\uFFFD]|"));
    EXPECT_EQ(DecodeText936("\xA2\xAB|"), std::wstring(L"\uFFFD|"));
    EXPECT_EQ(DecodeText936("\xFE\x50x"), std::wstring(L"\uFFFDPx"));
#endif
}

TEST(TextEncoding, Utf8RoundTripAndInvalidBytes) {
    std::wstring text = L"caf\u00E9 \u4E2D \U0001F600";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(text)), text);
    EXPECT_EQ(WideToUtf8(L"\u00E9"), std::string("\xC3\xA9"));
    // A cut sequence and an overlong form both decode as replacement characters.
#ifdef _WIN32
    // Windows replaces a cut sequence as a whole.
    EXPECT_EQ(Utf8ToWide("a\xE4\xB8"), std::wstring(L"a\uFFFD"));
#else
    EXPECT_EQ(Utf8ToWide("a\xE4\xB8"), std::wstring(L"a\uFFFD\uFFFD"));
#endif
    EXPECT_EQ(Utf8ToWide("\xC0\xAF"), std::wstring(L"\uFFFD\uFFFD"));
}

}  // namespace
