#pragma once

#include "tqcommoncmd.h"

#include <QByteArray>
#include <QList>

#include <cstdint>
#include <optional>

// The station's one command set: who talks to whom, the command ids, and their payloads.
namespace TQCommand {

constexpr uint8_t kCmdSet = 0x66;
constexpr uint8_t kHostAddress = 0x22;
constexpr uint8_t kStationAddress = 2;
constexpr uint8_t kSubAddress = 1;
constexpr uint8_t kRequestVersion = 3;
constexpr uint8_t kAuxByte = 0xFF;
// Requests without payload ask for CRC-16 and XOR; the others for CRC-16 only.
constexpr uint8_t kFlagsNoPayload = 0x2D;
constexpr uint8_t kFlagsWithPayload = 0x0D;
constexpr int kMaxWriteLength = 255;

enum Id : uint8_t {
    AttrIdList = 1,
    AllAttrPara = 2,
    AttrPara = 3,
    SetAttrPara = 4,
    ExecAttrCmd = 5,
    AttrCmdExecRes = 6,
    Reserved7 = 7,
};

TQCommonCmd attrIdListRequest();
TQCommonCmd allAttrParaRequest();
TQCommonCmd attrParaRequest(uint16_t attrId);
// Command 4 for a settable attribute, 5 for an executable one, none for any other; the value is
// cut at 255 bytes.
std::optional<TQCommonCmd> attrWriteRequest(uint16_t attrId, const QByteArray &value);
TQCommonCmd attrCmdExecResRequest(uint16_t attrId, uint8_t attrTrackingId);

// Whether a received frame is a reply of the station to this program.
bool isStationReply(const TQCommonCmd &cmd);

// Reply 1: the listed ids, read no further than the payload reaches; none unless status 1 and at
// least three bytes.
std::optional<QList<uint16_t>> parseAttrIdList(const QByteArray &payload);

// Replies 5 and 6: status 1, attribute id, then one byte (the tracking id or the state).
struct AttrCmdReply
{
    uint16_t attrId;
    uint8_t value;
};
std::optional<AttrCmdReply> parseAttrCmdReply(const QByteArray &payload);

} // namespace TQCommand
