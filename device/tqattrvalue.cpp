#include "tqattrvalue.h"

#include <cstring>

AttrParaMap parseAttrEntries(const QByteArray &payload)
{
    AttrParaMap map;
    const int s = static_cast<int>(payload.size());
    if (s < 2 || static_cast<uint8_t>(payload[0]) != 1)
        return map;
    const auto *p = reinterpret_cast<const uint8_t *>(payload.constData());
    int c = 1;
    while (c < s && c + 3 <= s) {
        const uint16_t id = static_cast<uint16_t>(p[c] | (p[c + 1] << 8));
        const int n = p[c + 2];
        if (n >= 0x80 || c + 3 + n > s)
            break;
        map.insert(id, payload.mid(c + 3, n));
        c += n + 3;
    }
    return map;
}

std::optional<int32_t> attrInt32(const QByteArray &value)
{
    if (value.size() < 4)
        return std::nullopt;
    const auto *p = reinterpret_cast<const uint8_t *>(value.constData());
    const uint32_t bits = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                          (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(bits);
}

std::optional<float> attrFloat(const QByteArray &value)
{
    const std::optional<int32_t> bits = attrInt32(value);
    if (!bits)
        return std::nullopt;
    float result;
    std::memcpy(&result, &*bits, sizeof result);
    return result;
}

QByteArray encodeAttrInt32(int32_t value)
{
    const auto bits = static_cast<uint32_t>(value);
    QByteArray bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    return bytes;
}

QByteArray encodeAttrFloat(float value)
{
    int32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return encodeAttrInt32(bits);
}
