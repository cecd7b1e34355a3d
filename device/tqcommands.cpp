#include "tqcommands.h"

#include "tqattrtable.h"

namespace TQCommand {

namespace {

TQCommonCmd request(uint8_t cmdId, const QByteArray &payload)
{
    const uint8_t flags = payload.isEmpty() ? kFlagsNoPayload : kFlagsWithPayload;
    return TQCommonCmd(kCmdSet, cmdId, kHostAddress, kStationAddress, kSubAddress, kSubAddress,
                       kRequestVersion, payload, flags, 0, kAuxByte, kAuxByte);
}

QByteArray le16(uint16_t value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(value & 0xFF);
    bytes[1] = static_cast<char>(value >> 8);
    return bytes;
}

uint16_t readLe16(const QByteArray &bytes, int at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) |
                                 (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

} // namespace

TQCommonCmd attrIdListRequest()
{
    return request(AttrIdList, {});
}

TQCommonCmd allAttrParaRequest()
{
    return request(AllAttrPara, {});
}

TQCommonCmd attrParaRequest(uint16_t attrId)
{
    return request(AttrPara, le16(attrId));
}

std::optional<TQCommonCmd> attrWriteRequest(uint16_t attrId, const QByteArray &value)
{
    const TQAttr *attr = findAttr(attrId);
    if (!attr || (attr->access != AttrSet && attr->access != AttrExecute))
        return std::nullopt;
    const QByteArray bytes = value.left(kMaxWriteLength);
    const QByteArray payload = le16(attrId) + char(bytes.size()) + bytes;
    return request(attr->access == AttrSet ? SetAttrPara : ExecAttrCmd, payload);
}

TQCommonCmd attrCmdExecResRequest(uint16_t attrId, uint8_t attrTrackingId)
{
    return request(AttrCmdExecRes, le16(attrId) + char(attrTrackingId));
}

bool isStationReply(const TQCommonCmd &cmd)
{
    return cmd.isAck() && cmd.getSrc() == kStationAddress && cmd.getDSrc() == kSubAddress &&
           cmd.getDest() == kHostAddress && cmd.getDDest() == kSubAddress &&
           cmd.getCmdSet() == kCmdSet;
}

std::optional<QList<uint16_t>> parseAttrIdList(const QByteArray &payload)
{
    if (payload.size() < 3 || static_cast<uint8_t>(payload[0]) != 1)
        return std::nullopt;
    const int count = readLe16(payload, 1);
    QList<uint16_t> ids;
    for (int i = 0, at = 3; i < count && at + 1 < payload.size(); ++i, at += 2)
        ids.append(readLe16(payload, at));
    return ids;
}

std::optional<AttrCmdReply> parseAttrCmdReply(const QByteArray &payload)
{
    if (payload.size() < 4 || static_cast<uint8_t>(payload[0]) != 1)
        return std::nullopt;
    return AttrCmdReply{readLe16(payload, 1), static_cast<uint8_t>(payload[3])};
}

} // namespace TQCommand
