// The message layer: window messages, posting and sending from any thread, timers, thread
// message loops and WM_QUIT.
//
// Every thread that owns windows runs a message loop. On Linux a thread's loop is a GLib main
// context: the UI thread's is the default context that GTK uses, any other thread gets its own
// when it first runs a loop (or calls EnsureMessageQueue).
//
// Ordering and reentrancy, as on the original platform:
// - posts from one thread to one target are delivered in the order they were posted;
// - SendMessage on the owning thread is a direct call of the window procedure;
// - SendMessage across threads waits for the answer, and while waiting the sender handles
//   messages sent to it by other threads (never its posted messages), so two threads that send
//   to each other do not deadlock;
// - messages posted to a window that is destroyed before they are dispatched are dropped.
#pragma once

#include <functional>

#include "platform/types.h"

#ifndef _WIN32

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_MOUSEACTIVATE = 0x0021;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_HOTKEY = 0x0312;
constexpr UINT WM_USER = 0x0400;

// WM_ACTIVATE's low word for a window that is no longer active.
constexpr WORD WA_INACTIVE = 0;

// WM_SIZE wParam values.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

// ShowWindow commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

// Queues a message for the window's owning thread; FALSE when the window does not exist.
BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Calls the window procedure on the owning thread and returns its result; 0 when the window
// does not exist.
LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// Queues a thread message (no window) for the thread; FALSE when that thread has no queue.
BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
// Asks the calling thread's loop to end with the exit code, once the messages already queued
// (and any posted meanwhile) have been handled.
void PostQuitMessage(int nExitCode);

BOOL IsWindow(HWND hWnd);
DWORD GetWindowThreadProcessId(HWND hWnd, DWORD* lpdwProcessId);
DWORD GetCurrentThreadId();

// Timers run on the thread that owns the window; each tick reaches the window procedure as
// WM_TIMER with wParam = id (or calls lpTimerFunc). Setting an existing id restarts it.
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

#endif

namespace platform {

// Makes the calling thread the UI thread (on Linux its loop is the default GLib main context).
void InitUiThread();
bool IsUiThread();
DWORD GetUiThreadId();

// Gives the calling thread a message queue (and a GLib main context of its own when it is not
// the UI thread) without running the loop yet, so that posts to it are kept until it runs.
void EnsureMessageQueue();

// Runs the calling thread's message loop until WM_QUIT reaches it; returns the exit code.
int RunMessageLoop();

// Runs the calling thread's loop until done() is true or the time-out passes (a nested loop,
// as a modal box runs one); true when done() became true.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs = INFINITE);

// The loop of a modal box or menu: runs the calling thread's loop until done() is true, and
// sleeps meanwhile. done() must change only in what this loop runs (a handler, a posted task);
// another thread that changes it posts a task to wake the loop. False when WM_QUIT came first
// (it stays pending for the outer loop).
bool RunModalLoop(const std::function<bool()>& done);

// Thread messages (posted with no window) of the calling thread go to this handler; without
// one they are dropped. WM_QUIT never reaches it.
void SetThreadMessageHandler(std::function<void(UINT, WPARAM, LPARAM)> handler);

// Runs a task on another thread's loop. Async: queued like a post. Sync: like a send (waits,
// handling sends to the calling thread meanwhile); on the same thread a direct call. False
// when the thread has no queue.
bool PostTask(DWORD threadId, std::function<void()> task);
bool SendTask(DWORD threadId, const std::function<void()>& task);

}  // namespace platform
