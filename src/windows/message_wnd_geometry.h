// Where a message popup goes and how it slides: pure arithmetic, kept apart from the window so
// that it can be checked for every taskbar position.
#pragma once

#include "platform/types.h"

// Gap between the popup and a horizontal taskbar's right end (and its top at the bottom).
constexpr int kPopupTaskbarGap = 3;
// The popup grows and shrinks by this many pixels per tick.
constexpr int kPopupSlideStep = 5;
constexpr UINT kPopupSlideTickMs = 10;

// The taskbar as the strip of the screen that the work area leaves out (a panel reserves its
// place there); false when the work area covers the whole screen (no panel).
bool TaskbarRectFromWorkArea(const RECT& screen, const RECT& workArea, RECT* taskbar);

// Top-left corner of a width × height popup beside the taskbar.
POINT PlaceBesideTaskbar(const RECT& taskbar, int width, int height);
// Without a taskbar: the work area's bottom-right corner, with the same gap.
POINT PlaceInWorkAreaCorner(const RECT& workArea, int width, int height);

// How far one tick moves the edge when `remaining` pixels are left: the step, or the whole
// remainder once fewer than two steps are left.
int SlideStep(int remaining);
