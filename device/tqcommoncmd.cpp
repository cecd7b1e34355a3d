#include "tqcommoncmd.h"

#include "crc.h"
#include "tqframe.h"

#include <QDateTime>

#include <atomic>

namespace {

// Only the device link's own thread builds commands; the atomic keeps the simulator and tests
// that build frames from several threads honest as well.
std::atomic<uint64_t> nextSeq{0};

void putLe16(char *at, uint16_t value)
{
    at[0] = static_cast<char>(value & 0xFF);
    at[1] = static_cast<char>(value >> 8);
}

void putLe32(char *at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

const uint8_t *bytesOf(const QByteArray &array)
{
    return reinterpret_cast<const uint8_t *>(array.constData());
}

} // namespace

TQCommonCmd::TQCommonCmd() : timestamp(QDateTime::currentMSecsSinceEpoch()) {}

TQCommonCmd::TQCommonCmd(uint8_t cmdSet, uint8_t cmdId, uint8_t src, uint8_t dest, uint8_t dSrc,
                         uint8_t dDest, uint8_t version, const QByteArray &payload, uint8_t flags,
                         uint8_t xorKey, uint8_t auxHigh, uint8_t auxLow)
    : version(version), seq(static_cast<uint32_t>(nextSeq.fetch_add(1))), src(src), dest(dest),
      dSrc(dSrc), dDest(dDest), cmdSet(cmdSet), cmdId(cmdId),
      dataLen(static_cast<uint16_t>(payload.size())), flags(flags),
      aux(static_cast<uint16_t>(auxHigh * 256 + auxLow)), payload(payload),
      timestamp(QDateTime::currentMSecsSinceEpoch())
{
    if (TQFrame::encryptTypeOf(flags) == TQFrame::EncryptXor) {
        for (char &byte : this->payload)
            byte = static_cast<char>(byte ^ xorKey);
    }
    encode();
}

TQCommonCmd::TQCommonCmd(const QByteArray &frame) : timestamp(QDateTime::currentMSecsSinceEpoch())
{
    decode(frame);
}

TQCommonCmd::TQCommonCmd(const TQCommonCmd &other)
    : isSend(other.isSend), timestamp(other.timestamp)
{
    decode(other.rawData);
}

TQCommonCmd &TQCommonCmd::operator=(const TQCommonCmd &other)
{
    TQCommonCmd copy(other);
    *this = std::move(copy);
    return *this;
}

void TQCommonCmd::decode(const QByteArray &frame)
{
    rawData = frame;
    const int n = frame.size();
    const int h = n >= 2 ? TQFrame::headerLength(static_cast<uint8_t>(frame[1])) : 0;
    if (h == 0 || n < h + TQFrame::kCheckLength)
        return;
    const uint8_t *b = bytesOf(frame);
    header = b[0];
    version = b[1];
    dataLen = TQFrame::readLe16(b + 2);
    headCheck = b[4];
    flags = b[5];
    seq = TQFrame::readLe32(b + 6);
    aux = TQFrame::readLe16(b + 10);
    src = b[12];
    dest = b[13];
    if (h == TQFrame::kLongHeaderLength) {
        dSrc = b[14];
        dDest = b[15];
    }
    cmdSet = b[h - 2];
    cmdId = b[h - 1];
    checkValue = TQFrame::readLe16(b + n - 2);
    payload = frame.mid(h, n - TQFrame::kCheckLength - h);
    if (encryptType() == TQFrame::EncryptXor) {
        const char key = static_cast<char>(seq & 0xFF);
        for (char &byte : payload)
            byte = static_cast<char>(byte ^ key);
    }
    decoded = true;
}

QByteArray TQCommonCmd::encode()
{
    const int h = TQFrame::headerLength(version);
    if (h == 0)
        return {};
    const int n = payload.size() + h + TQFrame::kCheckLength;
    QByteArray frame(n, '\0');
    char *b = frame.data();
    b[0] = static_cast<char>(header);
    b[1] = static_cast<char>(version);
    putLe16(b + 2, static_cast<uint16_t>(payload.size()));
    b[4] = static_cast<char>(crc8(bytesOf(frame), 4));
    b[5] = static_cast<char>(flags);
    putLe32(b + 6, seq);
    putLe16(b + 10, aux);
    b[12] = static_cast<char>(src);
    b[13] = static_cast<char>(dest);
    if (h == TQFrame::kLongHeaderLength) {
        b[14] = static_cast<char>(dSrc);
        b[15] = static_cast<char>(dDest);
    }
    b[h - 2] = static_cast<char>(cmdSet);
    b[h - 1] = static_cast<char>(cmdId);
    std::copy(payload.constBegin(), payload.constEnd(), b + h);
    TQFrame::writeCheckValue(reinterpret_cast<uint8_t *>(b), static_cast<size_t>(n),
                             TQFrame::checkTypeOf(flags));
    if (frame != rawData)
        rawData = frame;
    return frame;
}

bool TQCommonCmd::isAck() const
{
    return (flags & TQFrame::kFlagReply) != 0;
}

uint8_t TQCommonCmd::checkType() const
{
    return TQFrame::checkTypeOf(flags);
}

uint8_t TQCommonCmd::encryptType() const
{
    return TQFrame::encryptTypeOf(flags);
}
