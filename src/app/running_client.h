// How processes of the client reach the one that runs: the name of the single-instance lock
// and socket, and the command words sent to it.
#pragma once

#include <string>

#include "platform/types.h"

// The main window's class name marks the running client, as it names the lock and socket.
constexpr wchar_t kMainWndClassName[] = L"tavnelSongDeckWndClass";
// Restore and raise the main window (a second start).
constexpr char kRestoreCommand[] = "restore";
// Run the tray menu's exit command (the "exit" and "uninstall" modes).
constexpr char kExitCommand[] = "exit";
// A client that is starting or saving its options is waited for this long.
constexpr DWORD kRunningClientAnswerMs = 15000;

enum class RunningClientAnswer { Handled, NoClient, NoAnswer };

// Sends the command to the running client and waits until it has been handled.
RunningClientAnswer SendToRunningClient(const char* command);
