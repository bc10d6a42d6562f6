// Window functions by handle, as the client uses them to hide, minimize and bring back its
// main window.
#include "window_test_support.h"

#include "platform/window_functions.h"

using guitest::kWaitMs;
using testsupport::RecordingWnd;

TEST(WindowFunctions, MinimizeRestoreHideAndShowByHandle) {
    RecordingWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, L"", L"By handle", 0x86CAC000, {100, 100, 500, 400}, nullptr, 0));
    const HWND hwnd = wnd.m_hWnd;
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW)) << "it was not visible before";
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(hwnd) != FALSE; }, kWaitMs));
    EXPECT_FALSE(IsIconic(hwnd));

    // Where no tray can take the window back, closing minimizes it instead.
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) != FALSE; }, kWaitMs))
        << "the window manager did not minimize it";
    ShowWindow(hwnd, SW_RESTORE);
    ShowWindow(hwnd, SW_SHOW);
    EXPECT_TRUE(SetForegroundWindow(hwnd));
    EXPECT_TRUE(PumpUntil([&] { return IsIconic(hwnd) == FALSE; }, kWaitMs)) << "not restored";
    EXPECT_TRUE(IsWindowVisible(hwnd));

    EXPECT_TRUE(ShowWindow(hwnd, SW_HIDE));
    EXPECT_TRUE(PumpUntil([&] { return IsWindowVisible(hwnd) == FALSE; }, kWaitMs));

    wnd.DestroyWindow();
    EXPECT_FALSE(ShowWindow(hwnd, SW_SHOW)) << "a destroyed window";
    EXPECT_FALSE(IsWindowVisible(hwnd));
    EXPECT_FALSE(SetForegroundWindow(hwnd));
    EXPECT_FALSE(IsIconic(hwnd));
}

TEST(WindowFunctions, CursorPositionFollowsTheMouse) {
    RunCommand("xdotool mousemove 321 234");
    POINT cursor{};
    EXPECT_TRUE(PumpUntil(
        [&] { return GetCursorPos(&cursor) && cursor.x == 321 && cursor.y == 234; }, kWaitMs))
        << "at " << cursor.x << ", " << cursor.y;
    EXPECT_FALSE(GetCursorPos(nullptr));
}
