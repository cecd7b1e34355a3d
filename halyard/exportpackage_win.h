// What the export does: the station's interface found in the device list and its package written.
#pragma once

#include "devicelist_win.h"
#include "halyard.h"

namespace hy {

// The export `halyard` over the given device-list calls (the system's in the DLL).
int export_driver_package(const char *outputFolder, const char *interfaceNumber, char *infPathOut,
                          halyard_log_fn log, const device_list_calls &calls);

} // namespace hy
