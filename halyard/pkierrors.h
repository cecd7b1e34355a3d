// Texts of the crypto and catalog error codes that the system has no message for.
#pragma once

#include <cstdint>

namespace hy {

// The fixed text of a listed code (0x8009xxxx table, 0x800706D9, 0x80070020), or nullptr.
const char *known_pki_error_text(uint32_t code);
// Upper 16 bits 0x8009: the crypto facility.
bool is_pki_error(uint32_t code);

} // namespace hy
