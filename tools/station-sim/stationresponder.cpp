#include "stationresponder.h"

#include "stationstate.h"
#include "tqattrtable.h"
#include "tqcommands.h"
#include "tqframe.h"

namespace {

constexpr char kOk = 1;
constexpr char kRefused = 0;
constexpr int kAttrCount = 25;

QByteArray le16(uint16_t value)
{
    QByteArray bytes(2, '\0');
    bytes[0] = static_cast<char>(value & 0xFF);
    bytes[1] = static_cast<char>(value >> 8);
    return bytes;
}

std::optional<uint16_t> requestedId(const QByteArray &payload)
{
    if (payload.size() < 2)
        return std::nullopt;
    return static_cast<uint16_t>(static_cast<uint8_t>(payload[0]) |
                                 (static_cast<uint8_t>(payload[1]) << 8));
}

QByteArray entry(uint16_t id, const QByteArray &value)
{
    return le16(id) + static_cast<char>(value.size()) + value;
}

bool isForStation(const TQCommonCmd &cmd)
{
    return !cmd.isAck() && cmd.getSrc() == TQCommand::kHostAddress &&
           cmd.getDest() == TQCommand::kStationAddress && cmd.getDSrc() == TQCommand::kSubAddress &&
           cmd.getDDest() == TQCommand::kSubAddress && cmd.getCmdSet() == TQCommand::kCmdSet;
}

} // namespace

QByteArray stationReplyFrame(uint8_t cmdId, const QByteArray &payload)
{
    const auto flags = static_cast<uint8_t>(TQFrame::kFlagReply | (TQFrame::CheckCrc16 << 2));
    return TQCommonCmd(TQCommand::kCmdSet, cmdId, TQCommand::kStationAddress,
                       TQCommand::kHostAddress, TQCommand::kSubAddress, TQCommand::kSubAddress,
                       TQCommand::kRequestVersion, payload, flags, 0, TQCommand::kAuxByte,
                       TQCommand::kAuxByte)
        .getRawData();
}

StationResponder::StationResponder(Scenario scenario) : scenario(std::move(scenario)) {}

QList<QByteArray> StationResponder::respond(const TQCommonCmd &request, double elapsed)
{
    if (!isForStation(request))
        return {};
    const QByteArray &payload = request.getPayload();
    QByteArray reply;
    switch (request.getCmdId()) {
    case TQCommand::AttrIdList:
        reply = attrIdList();
        break;
    case TQCommand::AllAttrPara:
        reply = allAttrPara(elapsed);
        break;
    case TQCommand::AttrPara:
        reply = attrPara(payload, elapsed);
        break;
    case TQCommand::SetAttrPara:
        reply = setAttrPara(payload);
        break;
    case TQCommand::ExecAttrCmd:
        reply = execAttrCmd(payload, elapsed);
        break;
    case TQCommand::AttrCmdExecRes:
        reply = attrCmdExecRes(payload, elapsed);
        break;
    default:
        return {};
    }
    if (scenario.dropRepliesTo == request.getCmdId())
        return {};
    return {stationReplyFrame(request.getCmdId(), reply)};
}

AttrParaMap StationResponder::attributesAt(double elapsed) const
{
    AttrParaMap attributes = stationStateAt(scenario, scenarioTime(scenario, elapsed)).attributes;
    for (auto it = written.begin(); it != written.end(); ++it)
        attributes.insert(it.key(), it.value());
    return attributes;
}

QByteArray StationResponder::attrIdList() const
{
    QByteArray reply = QByteArray(1, kOk) + le16(kAttrCount);
    for (uint16_t id = 1; id <= kAttrCount; ++id)
        reply += le16(id);
    return reply;
}

QByteArray StationResponder::allAttrPara(double elapsed) const
{
    QByteArray reply(1, kOk);
    const AttrParaMap attributes = attributesAt(elapsed);
    for (auto it = attributes.begin(); it != attributes.end(); ++it)
        reply += entry(it.key(), it.value());
    return reply;
}

QByteArray StationResponder::attrPara(const QByteArray &request, double elapsed) const
{
    const std::optional<uint16_t> id = requestedId(request);
    const AttrParaMap attributes = attributesAt(elapsed);
    if (!id || !attributes.contains(*id))
        return QByteArray(1, kRefused);
    return QByteArray(1, kOk) + entry(*id, attributes.value(*id));
}

QByteArray StationResponder::setAttrPara(const QByteArray &request)
{
    const std::optional<uint16_t> id = requestedId(request);
    const TQAttr *attr = id ? findAttr(*id) : nullptr;
    if (!attr || attr->access != AttrSet || request.size() < 3 ||
        request.size() < 3 + static_cast<uint8_t>(request[2]))
        return QByteArray(1, kRefused);
    written.insert(*id, request.mid(3, static_cast<uint8_t>(request[2])));
    return QByteArray(1, kOk);
}

QByteArray StationResponder::execAttrCmd(const QByteArray &request, double elapsed)
{
    const std::optional<uint16_t> id = requestedId(request);
    if (id != TQAttrId::UpsTest)
        return QByteArray(1, kRefused) + le16(id.value_or(0)) + '\0';
    const bool running = selfTest && elapsed - selfTest->startedAt < scenario.selfTestSeconds;
    if (!running)
        selfTest = SelfTest{nextTrackingId++, elapsed};
    if (nextTrackingId == 0)
        nextTrackingId = 1;
    return QByteArray(1, kOk) + le16(*id) + static_cast<char>(selfTest->trackingId);
}

QByteArray StationResponder::attrCmdExecRes(const QByteArray &request, double elapsed) const
{
    const std::optional<uint16_t> id = requestedId(request);
    if (id != TQAttrId::UpsTest || request.size() < 3 || !selfTest ||
        static_cast<uint8_t>(request[2]) != selfTest->trackingId)
        return QByteArray(1, kRefused) + le16(id.value_or(0)) + '\0';
    uint8_t state = TQAttrState::Running;
    if (elapsed - selfTest->startedAt >= scenario.selfTestSeconds)
        state = scenario.selfTestPasses ? TQAttrState::SelfTestPassed : TQAttrState::SelfTestFailed;
    return QByteArray(1, kOk) + le16(*id) + static_cast<char>(state);
}
