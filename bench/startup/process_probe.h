// What the startup and idle benchmarks read about a process and its window: the window with a
// title shown on the display, peak memory of a process tree, and wake-ups of its threads.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/process_tree.h"

struct _XDisplay;

// Whether a viewable top-level window (managed by the window manager) has this title.
bool IsWindowTitledShown(_XDisplay* display, const std::string& title);
// That window's id; 0 when there is none.
unsigned long ShownWindowTitled(_XDisplay* display, const std::string& title);
// Sum of VmHWM (peak resident set) of the processes, in KiB.
long PeakRssKib(const std::vector<pid_t>& pids);
// Wake-ups so far: the voluntary context switches of every thread of the process (a thread
// that sleeps, is woken and sleeps again counts one).
long ContextSwitches(pid_t pid);
// Starts a program with the environment, extra variables and without the unset ones; -1 on
// failure.
pid_t StartProgram(const std::vector<std::string>& argv,
                   const std::vector<std::pair<std::string, std::string>>& extraEnv,
                   const std::vector<std::string>& unset = {});
double Median(std::vector<double> values);
