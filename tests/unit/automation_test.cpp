#include "platform/automation.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "platform/messages.h"
#include "platform/thread.h"
#include "platform/ui.h"
#include "platform/wnd.h"

TEST(Bstr, KeepsLengthAndTextIncludingEmbeddedNul) {
    const wchar_t text[] = L"ab\0cd";
    BSTR b = SysAllocStringLen(text, 5);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 5u);
    EXPECT_EQ(std::wmemcmp(b, text, 5), 0);
    EXPECT_EQ(b[5], L'\0');
    SysFreeString(b);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
}

TEST(Variant, CopyDuplicatesTextAndClearEmpties) {
    VARIANT a;
    VariantInit(&a);
    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(L"hello");
    VARIANT b;
    VariantInit(&b);
    ASSERT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_NE(a.bstrVal, b.bstrVal);
    EXPECT_STREQ(b.bstrVal, L"hello");
    VariantClear(&a);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_STREQ(b.bstrVal, L"hello");
    VariantClear(&b);
}

TEST(Guid, FormatsBracedUpperCaseTextAndFreshGuidsDiffer) {
    GUID g{0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    wchar_t text[39];
    EXPECT_EQ(StringFromGUID2(g, text, 39), 39);
    EXPECT_STREQ(text, L"{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(StringFromGUID2(g, text, 38), 0);
    GUID a, b;
    CoCreateGuid(&a);
    CoCreateGuid(&b);
    EXPECT_FALSE(IsEqualGUID(a, b));
    EXPECT_EQ((a.Data3 >> 12), 4);
    EXPECT_TRUE(IsEqualIID(IID_IDispatch, g));
}
