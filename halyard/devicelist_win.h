// The present USB device nodes as a list of device_record.
#pragma once

#include "hy_types.h"

#include <windows.h>

#include <cfgmgr32.h>
#include <setupapi.h>

namespace hy {

using get_device_id_fn = CONFIGRET(WINAPI *)(DEVINST, PSTR, ULONG, ULONG);

// The system calls that the listing makes, so that tests can put fake device nodes in the place
// of a machine's.
struct device_list_calls
{
    decltype(&SetupDiGetClassDevsA) get_class_devs;
    decltype(&SetupDiEnumDeviceInfo) enum_device_info;
    decltype(&SetupDiGetDeviceRegistryPropertyA) get_registry_property;
    decltype(&SetupDiGetDeviceRegistryPropertyW) get_registry_property_w;
    decltype(&SetupDiGetDevicePropertyW) get_device_property;
    decltype(&SetupDiOpenDevRegKey) open_driver_key;
    decltype(&RegQueryValueExA) query_value;
    decltype(&RegCloseKey) close_key;
    decltype(&SetupDiDestroyDeviceInfoList) destroy_device_info_list;
    // Null: CM_Get_Device_IDA, bound from Cfgmgr32 when the listing starts.
    get_device_id_fn get_device_id;
};

// The system's own.
extern const device_list_calls setupapi_calls;

// 0 with a non-empty list in *list (null first), else -4, -6, -11 or -12.
int hy_create_list(device_record **list, const list_options *options,
                   const device_list_calls &calls = setupapi_calls);
// Frees every record and its strings, also while another process holds the guard: 0.
int hy_destroy_list(device_record *list);

} // namespace hy
