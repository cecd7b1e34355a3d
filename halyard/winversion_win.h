#pragma once

namespace hy {

// Running Windows as major x 16 + minor; -1 until probed (see winversion.h for the values).
extern int windowsVersion;

void probe_windows_version();
// Probes once, then answers from windowsVersion.
int windows_version();

} // namespace hy
