// The export's choice of the station's interface in a device list, and what it does with it.
#pragma once

#include "hy_types.h"

#include <functional>

namespace hy {

constexpr uint16_t STATION_VENDOR_ID = 0x3746;
constexpr size_t EXPORT_MESSAGE_SIZE = 256;

using export_log_fn = std::function<void(const char *message)>;
// Prepares a package for the record; infName may be null when none could be derived.
using export_prepare_fn =
    std::function<int(device_record *record, const char *infName, int driverType)>;

// Walks the list for the station's interface named by interfaceNumber ("00" or "01") and
// prepares its package unless it already runs its driver. Messages are cut at 255 characters.
int walk_for_interface(device_record *list, const char *interfaceNumber, const export_log_fn &log,
                       const export_prepare_fn &prepare);

} // namespace hy
