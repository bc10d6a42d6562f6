// Support for GUI tests: waiting with a deadline, screenshots, running desktop tools.
#pragma once

#include <functional>
#include <string>

// Runs the UI thread's loop (GTK events and our messages) until cond() is true or the time
// passes; true when cond() became true.
bool PumpUntil(std::function<bool()> cond, int timeoutMs);

// Lets the loop run for a while, for effects that have no condition to wait for.
void PumpFor(int milliseconds);

// The folder for files a GUI test leaves behind ($SONGDECK_GUI_WORKDIR, else /tmp).
std::string GuiWorkDir();

// Writes a screenshot of the whole screen to GuiWorkDir()/name.png; returns its path, or an
// empty string when it could not be taken.
std::string TakeScreenshot(const std::string& name);

// Runs a shell command (xdotool, xprop ...) with a deadline and returns its standard output;
// *ok tells whether it ran and exited with 0 in time.
std::string RunCommand(const std::string& command, bool* ok = nullptr, int timeoutMs = 10000);

// Records GTK's and GDK's warnings as they are logged (and still prints them); called once, first
// thing in main. The session makes criticals fatal; warnings are for the tests to judge.
void RecordGtkWarnings();
// Everything recorded so far, one "domain: message" line each.
std::string GtkWarningsSoFar();
