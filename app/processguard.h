#pragma once

// The start-up guard of the program. This header stays free of Qt and of <windows.h>, because the
// Windows half of the guard is compiled on its own.

// Returns only in the first instance of the user's session. A later start knocks on the running
// instance's local socket (which makes it raise its window) and ends the process with code 0.
void ensureSingleInstance();

// Returns when the process has the rights it needs (or cannot find its own executable); otherwise
// relaunches the program elevated and ends this process with code 0.
void ensureElevated();

// Platform half of ensureSingleInstance: claims the per-user instance marker for the rest of the
// process's life. False when another process already holds it.
bool claimInstanceMarker();

// Whether a running instance holds the per-user instance marker (used by the launcher, which
// must not start a new version while the old one is still ending).
bool instanceMarkerHeld();
