#pragma once

// Shows pageFile in one window and runs until the window is closed or the process is ended.
int RunMinimalWebWindow(int argc, char** argv, const char* pageFile);
