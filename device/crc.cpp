#include "crc.h"

#include <array>

namespace {

std::array<uint8_t, 256> makeCrc8Table()
{
    std::array<uint8_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint8_t crc = static_cast<uint8_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
        table[i] = crc;
    }
    return table;
}

std::array<uint16_t, 256> makeCrc16Table()
{
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>((crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1);
        table[i] = crc;
    }
    return table;
}

const std::array<uint8_t, 256> crc8Table = makeCrc8Table();
const std::array<uint16_t, 256> crc16Table = makeCrc16Table();

} // namespace

uint8_t crc8(const uint8_t *bytes, size_t length)
{
    uint8_t crc = 0;
    for (size_t i = 0; i < length; ++i)
        crc = crc8Table[crc ^ bytes[i]];
    return crc;
}

uint16_t crc16(const uint8_t *bytes, size_t length)
{
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>((crc >> 8) ^ crc16Table[(crc ^ bytes[i]) & 0xFF]);
    return crc;
}
