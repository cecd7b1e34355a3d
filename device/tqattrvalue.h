#pragma once

#include <QByteArray>
#include <QMap>

#include <cstdint>
#include <optional>

// Attribute id to raw value bytes, ordered by id.
using AttrParaMap = QMap<uint16_t, QByteArray>;

// The body of replies 2 and 3: records of id (LE16), length, value. A record with a length of
// 0x80 or more, or one that runs past the end, ends the walk; the records before it stand.
// Empty unless the status byte is 1.
AttrParaMap parseAttrEntries(const QByteArray &payload);

// Integer and float values occupy the first four bytes, little-endian; shorter values give none.
std::optional<int32_t> attrInt32(const QByteArray &value);
std::optional<float> attrFloat(const QByteArray &value);

QByteArray encodeAttrInt32(int32_t value);
QByteArray encodeAttrFloat(float value);
