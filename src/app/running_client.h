// How processes of the client reach the one that runs: the name of the single-instance lock
// and socket, the command words sent to it, and how a start takes the running client's place.
#pragma once

#include <string>

#include "platform/single_instance.h"
#include "platform/types.h"

// The main window's class name marks the running client, as it names the lock and socket.
constexpr wchar_t kMainWndClassName[] = L"tavnelSongDeckWndClass";
// A client that restarts through the launcher starts it with this word and its process id: the
// launcher replaces no file before that process has ended.
constexpr wchar_t kAfterClientArgument[] = L"--after-client";
// Restore and raise the main window (a second start).
constexpr char kRestoreCommand[] = "restore";
// Run the tray menu's exit command (the "exit" and "uninstall" modes).
constexpr char kExitCommand[] = "exit";
// A client that is starting or saving its options is waited for this long.
constexpr DWORD kRunningClientAnswerMs = 15000;

enum class RunningClientAnswer { Handled, NoClient, NoAnswer };

// Sends the command to the running client and waits until it has been handled.
RunningClientAnswer SendToRunningClient(const char* command);
// Waits until the running client has ended, at most kRunningClientAnswerMs; true when it has.
bool WaitForRunningClientToEnd();

enum class RunningClientPlace {
    Taken,         // this process is the running client now
    HandedOver,    // another client runs (it was asked to show itself): this one ends
    NotAnswering,  // another client holds the place but did not answer in time (logged)
    Refused,       // no place could be had (logged): no client may start
};

// Takes the place of the running client, or asks the one that holds it to show itself. A
// client that ends while it is asked leaves its place free: it is then taken, a few times at
// most; a client never runs without it.
RunningClientPlace TakeRunningClientPlace(platform::SingleInstance& place,
                                          const platform::SingleInstance::CommandHandler& handler);
