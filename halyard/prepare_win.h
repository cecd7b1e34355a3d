// Turning one device record into a driver package in a folder.
#pragma once

#include "hy_types.h"

namespace hy {

// Writes the package (co-installers, helper, UTF-16 INF and, when elevated, a signed catalog)
// and copies the INF path into infPathOut (260 bytes). folder null: the TEMP folder.
int hy_prepare_driver(device_record *record, const char *folder, const char *infName,
                      const prepare_options *options, char *infPathOut);

} // namespace hy
