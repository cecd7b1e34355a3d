// Names, paths and texts that package preparation derives from its inputs.
#pragma once

#include <cstdint>
#include <string>

namespace hy {

constexpr size_t PATH_SIZE = 260;

// The part of infName after its last "\" or "/".
std::string inf_file_name(const std::string &infName);
// Case-sensitive ".inf" ending.
bool has_inf_extension(const std::string &fileName);
// folder + "\" + name; false when the folder or the name has 260 characters or more, or both
// together exceed 258.
bool join_inf_path(const std::string &folder, const std::string &name, std::string &path);
// The INF path with its last three characters turned into "cat"; false below 4 characters.
bool catalog_path_for(const std::string &infPath, std::string &catalogPath);
// The INF file name with its last three characters replaced by "cat".
std::string catalog_file_name(const std::string &infFileName);

// "VID_%04X&PID_%04X&MI_%02X", or without the MI part for a non-interface record.
std::string hardware_id_text(uint16_t vendorId, uint16_t productId, bool isInterface,
                             uint8_t interfaceNumber);
// The generic hardware ID of a driver type (0..3), or "" for others.
const char *generic_hardware_id(int driverType);
// "USB\<hardware ID>" cut to 39 characters.
std::string catalog_hardware_id(const std::string &hardwareId);
// "CN=<catalog hardware ID>" cut to 63 characters.
std::string certificate_subject_for(const std::string &catalogHardwareId);

// text as it may stand inside a quoted INF string value, and in an INF comment: control characters
// are dropped (a CR or LF would start an INF line of its own), '"' and '%' are doubled. At most
// maxBytes bytes, never cut inside a doubled pair or a UTF-8 sequence. Null reads as empty.
std::string inf_string_value(const char *text, size_t maxBytes);

std::string guid_text(uint32_t data1, uint16_t data2, uint16_t data3, const uint8_t data4[8]);
std::string driver_date_text(int month, int day, int year);
// major.minor.build.revision from the two 32-bit halves of a file version.
std::string driver_version_text(uint32_t versionMS, uint32_t versionLS);

// Seconds since 1970 as a FILETIME count (100 ns since 1601).
uint64_t unix_to_filetime(int64_t unixSeconds);

} // namespace hy
