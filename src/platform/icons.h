// Icons: loaded from the icon resources by id and size, and set on windows with WM_SETICON.
//
// On Linux an icon resource is a PNG beside the executable: icon <id> at <cx> x <cy> is
// "icons/<id>-<cx>.png" in the executable's folder (icons/128-32.png, icons/133-16.png); an
// icon is scaled to the size asked for when no file of that size exists.
#pragma once

#include "platform/types.h"

#ifndef _WIN32

struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
// An icon: an image at one size. Shared icons (LR_SHARED) live as long as the process.
struct HICON__;
using HICON = HICON__*;

#define MAKEINTRESOURCEW(i) ((LPWSTR)((UINT_PTR)((WORD)(i))))

constexpr UINT IMAGE_ICON = 1;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_DEFAULTSIZE = 0x0040;
constexpr UINT LR_SHARED = 0x8000;

// WM_SETICON's wParam.
constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

// Loads icon resource `name` (MAKEINTRESOURCEW(id)) of type IMAGE_ICON at cx x cy (0 with
// LR_DEFAULTSIZE: 32 x 32). Returns the icon as a HANDLE, as the original does (cast it to
// HICON); null when there is no such resource or the type is not IMAGE_ICON. hInst is not
// examined on Linux. LR_SHARED returns the same icon for the same id and size every time.
HANDLE LoadImageW(HINSTANCE hInst, LPCWSTR name, UINT type, int cx, int cy, UINT fuLoad);
// The 32 x 32 icon of a resource, shared.
HICON LoadIconW(HINSTANCE hInstance, LPCWSTR lpIconName);
// Frees an icon that was not loaded shared; a shared icon is left alone (TRUE).
BOOL DestroyIcon(HICON hIcon);

// Every window answers WM_SETICON (wParam ICON_BIG or ICON_SMALL, lParam the HICON; a null
// icon removes it) with the icon it had before; the window manager gets both images.

#endif

// The module whose resources LoadImageW reads: the executable.
HINSTANCE AfxGetResourceHandle();

namespace platform {
// For tests: the width and height of an icon; false for a null icon.
bool GetIconSize(HICON icon, SIZE* size);
}  // namespace platform
