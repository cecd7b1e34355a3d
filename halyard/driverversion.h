#pragma once

#include <cstdint>

namespace hy {

// Packs a DriverVersion text such as "10.0.19041.1" 16 bits per part (0x000A00004A610001).
uint64_t fold_driver_version(const char *text);

} // namespace hy
