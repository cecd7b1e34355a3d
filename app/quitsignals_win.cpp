#include "quitsignals.h"

// Windows ends a session with window messages, which Qt turns into the application's own quit;
// there is no signal to catch.
void quitOnTerminationSignals(std::function<void()>) {}
