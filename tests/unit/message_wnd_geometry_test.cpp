// Where a message popup ends up for each taskbar position, and how its slide moves.
#include "windows/message_wnd_geometry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

RECT Final(const RECT& taskbar, int width, int height) {
    POINT at = PlaceBesideTaskbar(taskbar, width, height);
    return RECT{at.x, at.y, at.x + width, at.y + height};
}

void ExpectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(rect.left, left);
    EXPECT_EQ(rect.top, top);
    EXPECT_EQ(rect.right, right);
    EXPECT_EQ(rect.bottom, bottom);
}

// The steps of a slide over `distance` pixels.
std::vector<int> Steps(int distance) {
    std::vector<int> steps;
    while (distance > 0) {
        int step = SlideStep(distance);
        steps.push_back(step);
        distance -= step;
    }
    return steps;
}

}  // namespace

TEST(PopupPlacement, BesideEachKindOfTaskbar) {
    // Bottom: 3 pixels left of its end and 3 pixels above it.
    ExpectRect(Final(RECT{0, 1040, 1920, 1080}, 250, 150), 1667, 887, 1917, 1037);
    // Top: the popup's top edge on the taskbar's bottom edge.
    ExpectRect(Final(RECT{0, 0, 1920, 40}, 250, 150), 1667, 40, 1917, 190);
    // Right edge: the popup's right edge on its left edge, bottoms level.
    ExpectRect(Final(RECT{1860, 0, 1920, 1080}, 250, 150), 1610, 930, 1860, 1080);
    // Left edge: the popup's left edge on its right edge.
    ExpectRect(Final(RECT{0, 0, 60, 1080}, 250, 150), 60, 930, 310, 1080);
    // A square taskbar counts as vertical.
    ExpectRect(Final(RECT{100, 100, 200, 200}, 50, 50), 50, 150, 100, 200);
}

TEST(PopupPlacement, TheTaskbarIsTheStripTheWorkAreaLeavesOut) {
    const RECT screen{0, 0, 1280, 800};
    RECT taskbar{};
    ASSERT_TRUE(TaskbarRectFromWorkArea(screen, RECT{0, 0, 1280, 770}, &taskbar));
    ExpectRect(taskbar, 0, 770, 1280, 800);
    ExpectRect(Final(taskbar, 250, 150), 1027, 617, 1277, 767);
    ASSERT_TRUE(TaskbarRectFromWorkArea(screen, RECT{0, 30, 1280, 800}, &taskbar));
    ExpectRect(taskbar, 0, 0, 1280, 30);
    ASSERT_TRUE(TaskbarRectFromWorkArea(screen, RECT{48, 0, 1280, 800}, &taskbar));
    ExpectRect(taskbar, 0, 0, 48, 800);
    ASSERT_TRUE(TaskbarRectFromWorkArea(screen, RECT{0, 0, 1232, 800}, &taskbar));
    ExpectRect(taskbar, 1232, 0, 1280, 800);
    EXPECT_FALSE(TaskbarRectFromWorkArea(screen, screen, &taskbar));
}

TEST(PopupPlacement, WithoutATaskbarTheWorkAreaCornerKeepsTheGap) {
    POINT at = PlaceInWorkAreaCorner(RECT{0, 0, 1280, 800}, 250, 150);
    EXPECT_EQ(at.x, 1027);
    EXPECT_EQ(at.y, 647);
    // Created 0 × 0 (the update popup): the corner itself, less the gap.
    at = PlaceInWorkAreaCorner(RECT{10, 20, 1000, 700}, 0, 0);
    EXPECT_EQ(at.x, 997);
    EXPECT_EQ(at.y, 697);
}

TEST(PopupSlide, FivePixelsATickAndTheRemainderLast) {
    EXPECT_EQ(Steps(150), std::vector<int>(30, 5));
    std::vector<int> odd(29, 5);
    odd.push_back(8);
    EXPECT_EQ(Steps(153), odd);
    EXPECT_EQ(Steps(9), std::vector<int>{9});
    EXPECT_EQ(Steps(10), (std::vector<int>{5, 5}));
    EXPECT_TRUE(Steps(0).empty());
}
