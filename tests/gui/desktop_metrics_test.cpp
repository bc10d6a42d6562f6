// Screen, work area and frame metrics as the desktop under test reports them.
#include <gtest/gtest.h>

#include "gui_support.h"
#include "platform/wnd.h"

namespace {

TEST(DesktopMetrics, WorkAreaLeavesOutThePanel) {
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(screenWidth, 0);
    ASSERT_GT(screenHeight, 0);
    RECT work{};
    // The panel at the bottom reserves its strut, maybe a moment after the session starts.
    EXPECT_TRUE(PumpUntil([&] { return GetWorkArea(&work) && work.bottom < screenHeight; }, 5000))
        << "the work area never left out the panel";
    EXPECT_EQ(0, work.left);
    EXPECT_EQ(0, work.top);
    EXPECT_EQ(screenWidth, work.right);
    EXPECT_GT(work.bottom, screenHeight / 2);
}

TEST(DesktopMetrics, FrameMetricsComeFromTheWindowManager) {
    // Under openbox a decorated window has a title bar and thin side borders.
    EXPECT_GE(GetSystemMetrics(SM_CYCAPTION), 10);
    EXPECT_GE(GetSystemMetrics(SM_CXBORDER), 0);
    EXPECT_LT(GetSystemMetrics(SM_CXBORDER), GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(32, GetSystemMetrics(SM_CXICON));
}

}  // namespace
