#pragma once

#include <functional>

// The signals that end a session or a program from outside (on Linux SIGTERM at logout or from
// kill, SIGINT, SIGHUP) quit the program through its event loop, as the tray's "Quit" does, so its
// teardown runs: NUT restarts off, NUT stopped, settings released. Call once from the main thread
// once the application object exists; `quit` then runs in the main thread's event loop.
void quitOnTerminationSignals(std::function<void()> quit);
