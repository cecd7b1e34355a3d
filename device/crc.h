#pragma once

#include <cstddef>
#include <cstdint>

// CRC-8 with polynomial 0x07, initial value 0, no reflection, no final XOR; 0 for empty input.
uint8_t crc8(const uint8_t *bytes, size_t length);

// CRC-16 with polynomial 0x8005 processed reflected (0xA001), initial value 0, no final XOR.
uint16_t crc16(const uint8_t *bytes, size_t length);
