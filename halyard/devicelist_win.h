// The present USB device nodes as a list of device_record.
#pragma once

#include "hy_types.h"

namespace hy {

// 0 with a non-empty list in *list (null first), else -4, -6, -11 or -12.
int hy_create_list(device_record **list, const list_options *options);
// Frees every record and its strings: 0, -6 or -11.
int hy_destroy_list(device_record *list);

} // namespace hy
