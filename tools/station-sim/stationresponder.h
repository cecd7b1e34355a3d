#pragma once

#include "scenario.h"
#include "tqattrvalue.h"
#include "tqcommoncmd.h"

#include <QByteArray>
#include <QList>

#include <optional>

// A reply frame as the station sends it: long header from the station to this program, reply
// flag, CRC-16, no encryption.
QByteArray stationReplyFrame(uint8_t cmdId, const QByteArray &payload);

// The station's side of the command set: answers each request from the scenario's state and
// runs the self-test as a tracked command.
class StationResponder
{
public:
    explicit StationResponder(Scenario scenario);

    // The reply frames to one received frame, `elapsed` scenario seconds after the start (not
    // wrapped by a loop). Frames not addressed to the station get no reply.
    QList<QByteArray> respond(const TQCommonCmd &request, double elapsed);

private:
    QByteArray attrIdList() const;
    QByteArray allAttrPara(double elapsed) const;
    QByteArray attrPara(const QByteArray &request, double elapsed) const;
    QByteArray setAttrPara(const QByteArray &request);
    QByteArray execAttrCmd(const QByteArray &request, double elapsed);
    QByteArray attrCmdExecRes(const QByteArray &request, double elapsed) const;
    AttrParaMap attributesAt(double elapsed) const;

    struct SelfTest
    {
        uint8_t trackingId;
        double startedAt;
    };

    Scenario scenario;
    AttrParaMap written;
    std::optional<SelfTest> selfTest;
    uint8_t nextTrackingId = 1;
};
