#pragma once

#include <cstddef>
#include <cstdint>

// Byte layout of a station frame: 0xAA, version, dataLen (LE), CRC-8 of the first four bytes,
// flags, seq (LE), aux, src, dest, [dSrc, dDest,] cmdSet, cmdId, payload, two check bytes.
namespace TQFrame {

constexpr uint8_t kHeader = 0xAA;
constexpr int kShortHeaderLength = 16;
constexpr int kLongHeaderLength = 18;
constexpr int kCheckLength = 2;
constexpr uint16_t kMaxDataLen = 0x2000; // a frame start announces less than this
constexpr int kMaxFrameLength = 4096;    // longer frames are taken for junk

enum CheckType : uint8_t { CheckNone = 0, CheckSum = 1, CheckCrc8 = 2, CheckCrc16 = 3 };
enum EncryptType : uint8_t { EncryptNone = 0, EncryptXor = 1 };

constexpr uint8_t kFlagSent = 0x01;
constexpr uint8_t kFlagReply = 0x02;

inline uint8_t checkTypeOf(uint8_t flags)
{
    return (flags >> 2) & 0x07;
}
inline uint8_t encryptTypeOf(uint8_t flags)
{
    return (flags >> 5) & 0x03;
}

// Header length for a version byte (16 or 18), 0 when the version names no frame.
int headerLength(uint8_t version);

// Whether the first five bytes at `bytes` start a frame: known version, dataLen below 0x2000 and a
// matching header CRC. The caller guarantees five readable bytes.
bool isHeaderValid(const uint8_t *bytes);

uint16_t readLe16(const uint8_t *bytes);
uint32_t readLe32(const uint8_t *bytes);

// Whether the check value at the end of the `length` bytes of a frame matches its check type.
// Check types 4 to 7 never match and are logged.
bool isCheckValid(const uint8_t *frame, size_t length);

// Writes the check value of the given type into the last two of `length` bytes.
void writeCheckValue(uint8_t *frame, size_t length, uint8_t checkType);

} // namespace TQFrame
