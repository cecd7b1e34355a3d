// The description texts of the device list.
#pragma once

#include <cstdint>
#include <string>

namespace hy {

constexpr size_t DESCRIPTION_CHARS = 256;

// Appends " (Interface N)" when the text stays below the description buffer.
void append_interface_suffix(std::u16string &description, uint8_t interfaceNumber);
// Appends " (Composite Parent)" when the text stays below the description buffer.
void append_composite_parent_suffix(std::u16string &description);
// "Unknown Device #N" for a node without any description; counter starts at 1 per listing.
std::u16string unknown_device_description(int counter);
// Removes trailing characters for which isspace is true.
void trim_trailing_whitespace(std::string &text);

} // namespace hy
