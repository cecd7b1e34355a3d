#pragma once

#include <QByteArray>
#include <QMetaType>

#include <cstdint>

// One station command or frame as a copyable value. A copy is made by decoding the source's raw
// frame anew, so it carries exactly what travelled on the wire.
class TQCommonCmd
{
public:
    TQCommonCmd();
    // Builds a command for sending: takes the next sequence number, XORs the payload with `xorKey`
    // when the flags ask for XOR encryption, and encodes the frame into rawData().
    TQCommonCmd(uint8_t cmdSet, uint8_t cmdId, uint8_t src, uint8_t dest, uint8_t dSrc,
                uint8_t dDest, uint8_t version, const QByteArray &payload, uint8_t flags,
                uint8_t xorKey, uint8_t auxHigh, uint8_t auxLow);
    // Decodes a complete frame whose checks have already passed.
    explicit TQCommonCmd(const QByteArray &frame);
    TQCommonCmd(const TQCommonCmd &other);
    TQCommonCmd &operator=(const TQCommonCmd &other);
    TQCommonCmd(TQCommonCmd &&) = default;
    TQCommonCmd &operator=(TQCommonCmd &&) = default;

    // The frame bytes, also stored as rawData(); empty for an unknown version.
    QByteArray encode();

    // Whether the frame given to the decoding constructor was long enough for its header shape.
    bool isDecoded() const { return decoded; }

    uint8_t getVersion() const { return version; }
    uint32_t getSeq() const { return seq; }
    uint8_t getSrc() const { return src; }
    uint8_t getDest() const { return dest; }
    uint8_t getDSrc() const { return dSrc; }
    uint8_t getDDest() const { return dDest; }
    uint8_t getCmdSet() const { return cmdSet; }
    uint8_t getCmdId() const { return cmdId; }
    uint16_t getDataLen() const { return dataLen; }
    uint8_t getHeader() const { return header; }
    uint16_t getCheckValue() const { return checkValue; }
    uint8_t getHeadCheck() const { return headCheck; }
    uint8_t getFlags() const { return flags; }
    uint16_t getAux() const { return aux; }
    const QByteArray &getPayload() const { return payload; }
    const QByteArray &getRawData() const { return rawData; }
    bool getIsSend() const { return isSend; }
    void setIsSend(bool value) { isSend = value; }
    qint64 getTimestamp() const { return timestamp; }

    bool isAck() const;
    uint8_t checkType() const;
    uint8_t encryptType() const;

private:
    void decode(const QByteArray &frame);

    uint8_t version = 0;
    uint32_t seq = 0;
    uint8_t src = 0;
    uint8_t dest = 0;
    uint8_t dSrc = 0;
    uint8_t dDest = 0;
    uint8_t cmdSet = 0;
    uint8_t cmdId = 0;
    uint16_t dataLen = 0;
    uint8_t header = 0xAA;
    uint16_t checkValue = 0;
    uint8_t headCheck = 0;
    uint8_t flags = 0;
    uint16_t aux = 0;
    QByteArray payload;
    QByteArray rawData;
    bool isSend = false;
    qint64 timestamp = 0;
    bool decoded = false;
};

Q_DECLARE_METATYPE(TQCommonCmd)
