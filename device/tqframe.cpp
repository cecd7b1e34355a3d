#include "tqframe.h"

#include "crc.h"

#include <QDebug>

namespace TQFrame {

int headerLength(uint8_t version)
{
    switch (version) {
    case 0x02:
    case 0x12:
        return kShortHeaderLength;
    case 0x03:
    case 0x13:
        return kLongHeaderLength;
    default:
        return 0;
    }
}

bool isHeaderValid(const uint8_t *bytes)
{
    return bytes[0] == kHeader && headerLength(bytes[1]) != 0 &&
           readLe16(bytes + 2) < kMaxDataLen && crc8(bytes, 4) == bytes[4];
}

uint16_t readLe16(const uint8_t *bytes)
{
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

uint32_t readLe32(const uint8_t *bytes)
{
    return static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
           (static_cast<uint32_t>(bytes[2]) << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
}

namespace {

uint16_t byteSum(const uint8_t *bytes, size_t length)
{
    uint16_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum = static_cast<uint16_t>(sum + bytes[i]);
    return sum;
}

} // namespace

bool isCheckValid(const uint8_t *frame, size_t length)
{
    if (length < kCheckLength + 5)
        return false;
    const size_t body = length - kCheckLength;
    const uint8_t type = checkTypeOf(frame[5]);
    switch (type) {
    case CheckNone:
        return frame[length - 1] == 0xBB;
    case CheckSum:
        return byteSum(frame, body) == readLe16(frame + body);
    case CheckCrc8:
        // The sender puts the CRC in the first check byte and 0 in the last, so the CRC over
        // everything but the last byte is 0 for an intact frame.
        return crc8(frame, length - 1) == frame[length - 1];
    case CheckCrc16:
        return crc16(frame, body) == readLe16(frame + body);
    default:
        qCritical().nospace() << "Warning: check type error! " << int(type);
        return false;
    }
}

void writeCheckValue(uint8_t *frame, size_t length, uint8_t checkType)
{
    const size_t body = length - kCheckLength;
    uint8_t *check = frame + body;
    switch (checkType) {
    case CheckNone:
        check[0] = 0xBB;
        check[1] = 0xBB;
        break;
    case CheckSum: {
        const uint16_t sum = byteSum(frame, body);
        check[0] = static_cast<uint8_t>(sum & 0xFF);
        check[1] = static_cast<uint8_t>(sum >> 8);
        break;
    }
    case CheckCrc8:
        check[0] = crc8(frame, body);
        check[1] = 0;
        break;
    case CheckCrc16: {
        const uint16_t crc = crc16(frame, body);
        check[0] = static_cast<uint8_t>(crc & 0xFF);
        check[1] = static_cast<uint8_t>(crc >> 8);
        break;
    }
    default:
        check[0] = 0;
        check[1] = 0;
        break;
    }
}

} // namespace TQFrame
