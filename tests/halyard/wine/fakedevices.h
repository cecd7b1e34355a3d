// Device nodes made up by a test, served through the device list's calls in the place of
// SetupAPI's, so the list rules and the export run over a machine that has the station.
#pragma once

#include "devicelist_win.h"

#include <optional>
#include <string>
#include <vector>

namespace hytest {

struct fake_node
{
    std::optional<std::string> device_id; // absent: CM_Get_Device_ID fails
    std::optional<std::string> service;
    std::optional<std::string> driver_key;     // present: the node has a driver installed
    std::optional<std::string> driver_version; // the driver key's DriverVersion
    std::optional<std::string> hardware_id;
    std::optional<std::string> compatible_id;
    std::optional<std::string> upper_filter;
    std::optional<std::string> bus_description; // UTF-8
    std::optional<std::string> registry_description;
};

// The station's interface node mi ("00" or "01") with the given service.
fake_node station_interface(const char *mi, const char *service);

// Serves `nodes` while this object lives (one at a time).
class fake_machine
{
public:
    explicit fake_machine(std::vector<fake_node> nodes);
    ~fake_machine();

    hy::device_list_calls calls() const;
    // How many driver keys the listing opened, and whether it gave its device set back.
    int driver_keys_opened() const;
    bool set_destroyed() const;
};

} // namespace hytest
