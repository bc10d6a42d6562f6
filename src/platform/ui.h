// Modal message boxes.
#pragma once

#include <string>
#include <vector>

#include "platform/types.h"

#ifndef _WIN32

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = 0x00000040;
constexpr UINT MB_TOPMOST = 0x00040000;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// A modal box with the text, caption, buttons and icon of uType, over its owner; returns the
// button pressed. Callable from any thread that runs a message loop: the box lives on the UI
// thread while the calling thread keeps handling its own messages until the answer comes.
// A box closed without a button (the close box, Escape) answers IDCANCEL where it has a
// Cancel button and IDOK for MB_OK; MB_YESNO cannot be closed that way. A box that ends
// without an answer (WM_QUIT reached the caller's loop) returns 0.
int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType);

#endif

// For tests: message boxes are real top-level windows titled with their caption; these find
// them among the UI thread's windows and press their buttons as a user would. Any thread
// that is not blocked in a wait may call them.
namespace platform::testing {
struct OpenMessageBox {
    std::wstring caption;
    std::wstring text;
};
std::vector<OpenMessageBox> ListMessageBoxes();
// Clicks the button answering buttonId (IDOK, IDCANCEL, IDYES, IDNO) of the open box titled
// caption; false when there is no such box or button.
bool PressMessageBoxButton(const std::wstring& caption, int buttonId);
}  // namespace platform::testing
