#pragma once

// Waits the given time while the calling thread keeps handling its events: a local event loop
// runs until a single-shot timer quits it.
void waitWithEventLoop(int ms);
