// Strict UTF-8 <-> UTF-16 conversion: malformed input fails instead of being patched up, as the
// system converters do with MB_ERR_INVALID_CHARS.
#pragma once

#include <string>

namespace hy {

bool utf8_to_utf16(const std::string &in, std::u16string &out);
bool utf16_to_utf8(const std::u16string &in, std::string &out);

} // namespace hy
