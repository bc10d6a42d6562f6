// Icon resources 128 (the window's big icon) and 133 (small icon and tray) from the icons
// folder beside the executable.
#include <gtest/gtest.h>

#include "platform/icons.h"

namespace {

SIZE SizeOf(HICON icon) {
    SIZE size{};
    EXPECT_TRUE(platform::GetIconSize(icon, &size));
    return size;
}

HICON Load(int id, int cx, int cy, UINT flags = LR_SHARED) {
    return reinterpret_cast<HICON>(
        LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_ICON, cx, cy, flags));
}

}  // namespace

TEST(IconResources, LoadAtTheSizesAskedFor) {
    HICON big = Load(128, 32, 32);
    HICON small = Load(133, 16, 16);
    ASSERT_NE(nullptr, big) << "icon 128 missing beside the test program";
    ASSERT_NE(nullptr, small) << "icon 133 missing beside the test program";
    EXPECT_EQ(32, SizeOf(big).cx);
    EXPECT_EQ(32, SizeOf(big).cy);
    EXPECT_EQ(16, SizeOf(small).cx);
    EXPECT_EQ(16, SizeOf(small).cy);
    // A size without a file of its own is drawn from a larger one.
    HICON odd = Load(133, 20, 20, 0);
    ASSERT_NE(nullptr, odd);
    EXPECT_EQ(20, SizeOf(odd).cx);
    EXPECT_TRUE(DestroyIcon(odd));
    // The default size is the system's big icon.
    HICON byDefault = LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(128));
    EXPECT_EQ(32, SizeOf(byDefault).cx);
}

TEST(IconResources, SharedLoadsGiveOneIconAndSurviveDestroy) {
    HICON first = Load(133, 16, 16);
    HICON second = Load(133, 16, 16);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, Load(133, 32, 32)) << "another size is another icon";
    EXPECT_TRUE(DestroyIcon(first));
    EXPECT_EQ(16, SizeOf(second).cx) << "a shared icon must outlive DestroyIcon";

    HICON own = Load(133, 16, 16, 0);
    EXPECT_NE(first, own) << "a load that is not shared gives an icon of its own";
    EXPECT_TRUE(DestroyIcon(own));
}

TEST(IconResources, MissingOrWrongResourcesGiveNull) {
    EXPECT_EQ(nullptr, Load(999, 16, 16));
    EXPECT_EQ(nullptr,
              LoadImageW(nullptr, MAKEINTRESOURCEW(128), 0 /* IMAGE_BITMAP */, 32, 32, LR_SHARED));
    // A resource by name is not a numbered resource; there are none here.
    EXPECT_EQ(nullptr, LoadImageW(nullptr, L"128", IMAGE_ICON, 32, 32, LR_SHARED));
    EXPECT_EQ(nullptr, Load(128, -1, 32));
    EXPECT_FALSE(DestroyIcon(nullptr));
}
