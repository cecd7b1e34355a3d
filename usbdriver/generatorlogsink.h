#pragma once

// The message callback handed to the driver package generator: each message becomes one debug
// line "driver_installer log: <message>" of the application log.
void generatorLogSink(const char *message);
