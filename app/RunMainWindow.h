// The program's run: build the window, show it unless start-up ended the program,
// run the event loop.
#pragma once

struct Platform;

// Returns the process exit code. Needs a QApplication.
int runMainWindow(const Platform &platform);
