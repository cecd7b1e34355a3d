#include "compositeio.h"
#include "stationresponder.h"
#include "stationsimprocess.h"
#include "testpty.h"
#include "tqattrvalue.h"
#include "tqcommands.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

const QString kSerial = QStringLiteral("SN00001234");
using AttrMap = QMap<uint16_t, QByteArray>;

QJsonObject scenario(const QString &serial, const QString &selfTest = QStringLiteral("pass"))
{
    return QJsonObject{
        {"serial", serial},
        {"charge", 80},
        {"firmware", "1.2.3.4"},
        {"attributes", QJsonObject{{"output.ac.realpower", 100.0}, {"input.ac.realpower", 42.4}}},
        {"selfTest", QJsonObject{{"result", selfTest}, {"seconds", 1}}},
    };
}

// Answers the serial number request the way a station with `serial` does.
TestPty::Answer serialAnswer(const QByteArray &serial)
{
    return [serial](const TQCommonCmd &request) -> QList<QByteArray> {
        if (request.getCmdId() != TQCommand::AttrPara)
            return {};
        return {stationReplyFrame(TQCommand::AttrPara,
                                  QByteArray::fromHex("011600") + char(serial.size()) + serial)};
    };
}

class CompositeIoTest : public ::testing::Test
{
protected:
    void TearDown() override { SerialPort::setPortLister({}); }

    static void usePorts(const QStringList &names)
    {
        SerialPort::setPortLister([names] { return names; });
    }
};

TEST_F(CompositeIoTest, FindsTheStationOnTheSecondPortAfterASilentOne)
{
    TestPty silent;
    StationSimProcess station(scenario(kSerial));
    ASSERT_FALSE(station.path().isEmpty());
    usePorts({silent.path(), station.path()});

    CompositeIo io;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(io.searchCompositeIo(kSerial));
    EXPECT_GE(clock.elapsed(), 1150);
    EXPECT_TRUE(io.isConnected());
    ASSERT_EQ(silent.requests().size(), 4);
    for (const TQCommonCmd &request : silent.requests()) {
        EXPECT_EQ(request.getCmdId(), TQCommand::AttrPara);
        EXPECT_EQ(request.getPayload().toHex(), "1600");
    }

    // The station's port stays open and its attribute replies become maps.
    QSignalSpy all(&io, &CompositeIo::sigAllAttrPara);
    io.getAllAttrPara();
    ASSERT_TRUE(all.wait(3000));
    const auto map = all[0][0].value<AttrMap>();
    EXPECT_EQ(map.value(22), kSerial.toUtf8());
    EXPECT_EQ(attrFloat(map.value(7)), 100.0f);
    EXPECT_EQ(attrFloat(map.value(9)), 42.4f);
    EXPECT_EQ(map.value(25).toHex(), "04030201");
}

TEST_F(CompositeIoTest, AWrongSerialNumberEndsTheWaitForThatPortAtOnce)
{
    TestPty other(serialAnswer("SN-OTHER"));
    TestPty trailingZero(serialAnswer(kSerial.toUtf8() + '\0'));
    usePorts({other.path(), trailingZero.path()});

    CompositeIo io;
    EXPECT_FALSE(io.searchCompositeIo(kSerial));
    EXPECT_FALSE(io.isConnected());
    EXPECT_EQ(other.requests().size(), 1);
    EXPECT_EQ(trailingZero.requests().size(), 1);
    io.getAllAttrPara();
    QTest::qWait(100);
    EXPECT_EQ(other.requests().size(), 1);
    EXPECT_EQ(trailingZero.requests().size(), 1);
}

TEST_F(CompositeIoTest, NoCandidatePortFailsAtOnce)
{
    usePorts({});
    CompositeIo io;
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(io.searchCompositeIo(kSerial));
    EXPECT_LT(clock.elapsed(), 1000);
}

TEST_F(CompositeIoTest, ASecondSearchWhileOneWaitsIsRefused)
{
    TestPty silent;
    TestPty station(serialAnswer(kSerial.toUtf8()));
    usePorts({silent.path(), station.path()});

    CompositeIo io;
    std::optional<bool> overlapping;
    QTimer::singleShot(100, [&] { overlapping = io.searchCompositeIo(kSerial); });
    EXPECT_TRUE(io.searchCompositeIo(kSerial));
    ASSERT_TRUE(overlapping.has_value());
    EXPECT_FALSE(*overlapping);
    EXPECT_EQ(silent.requests().size(), 4);
    EXPECT_TRUE(io.isConnected());
}

TEST_F(CompositeIoTest, AfterCloseRequestsAreDropped)
{
    TestPty station(serialAnswer(kSerial.toUtf8()));
    usePorts({station.path()});
    CompositeIo io;
    ASSERT_TRUE(io.searchCompositeIo(kSerial));
    io.closeCompositeIo();
    EXPECT_FALSE(io.isConnected());
    const auto before = station.requests().size();
    io.getAllAttrPara();
    io.getAttrPara(7);
    QTest::qWait(100);
    EXPECT_EQ(station.requests().size(), before);
}

TEST_F(CompositeIoTest, DispatchesOnlyWellAddressedWellFormedReplies)
{
    TestPty station(serialAnswer(kSerial.toUtf8()));
    usePorts({station.path()});
    CompositeIo io;
    ASSERT_TRUE(io.searchCompositeIo(kSerial));

    QSignalSpy all(&io, &CompositeIo::sigAllAttrPara);
    QSignalSpy one(&io, &CompositeIo::sigAttrPara);
    QSignalSpy exec(&io, &CompositeIo::sigAttrCmdExec);
    QSignalSpy state(&io, &CompositeIo::sigAttrCmdExecRes);
    const auto reply = [](uint8_t cmdId, const char *hex) {
        return stationReplyFrame(cmdId, QByteArray::fromHex(hex));
    };
    const auto fromSource3 =
        TQCommonCmd(0x66, 2, 3, 0x22, 1, 1, 3, QByteArray::fromHex("01"), 0x0E, 0, 0xFF, 0xFF)
            .getRawData();

    station.write(fromSource3);                          // other source: nothing
    station.write(reply(2, ""));                         // empty payload: nothing
    station.write(reply(7, "01"));                       // command 7: ignored
    station.write(reply(4, "01"));                       // set acknowledgement: ignored
    station.write(reply(5, "0201002a"));                 // refused execution: nothing
    station.write(reply(6, "010100"));                   // too short: nothing
    station.write(reply(3, "01"));                       // no entry: nothing
    station.write(reply(1, "0102000100"));               // id list: only logged
    station.write(reply(2, "01"));                       // status only: empty map
    station.write(reply(3, "01090001aa03000400000000")); // ids 9 and 3: the smallest
    station.write(reply(5, "0101002a"));
    station.write(reply(6, "01010003"));
    station.write(reply(2, "0107000400 00c842"));

    ASSERT_TRUE(QTest::qWaitFor([&] { return all.size() == 2; }, 3000));
    EXPECT_TRUE(all[0][0].value<AttrMap>().isEmpty());
    EXPECT_EQ(all[1][0].value<AttrMap>().value(7).toHex(), "0000c842");
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0][0].value<uint16_t>(), 3);
    EXPECT_EQ(one[0][1].toByteArray().toHex(), "00000000");
    ASSERT_EQ(exec.size(), 1);
    EXPECT_EQ(exec[0][0].value<uint16_t>(), 1);
    EXPECT_EQ(exec[0][1].value<uint8_t>(), 0x2A);
    ASSERT_EQ(state.size(), 1);
    EXPECT_EQ(state[0][1].value<uint8_t>(), 3);
}

// Runs the self-test the way the device logic does: execute, then poll the state.
uint8_t runSelfTest(CompositeIo &io)
{
    uint8_t result = 0;
    QObject::connect(&io, &CompositeIo::sigAttrCmdExec, [&](uint16_t attrId, uint8_t trackingId) {
        io.getAttrCmdExecRes(attrId, trackingId);
    });
    QObject::connect(&io, &CompositeIo::sigAttrCmdExecRes, [&](uint16_t attrId, uint8_t attrState) {
        if (attrState == 1 || attrState == 2)
            io.getAttrCmdExecRes(attrId, 1);
        else
            result = attrState;
    });
    io.setAttrPara(1, {});
    return QTest::qWaitFor([&] { return result != 0; }, 10000) ? result : 0;
}

TEST_F(CompositeIoTest, SelfTestAgainstTheSimulatorPassesOrFails)
{
    for (const auto &[outcome, expected] : {std::pair{"pass", 3}, std::pair{"fail", 4}}) {
        StationSimProcess station(scenario(kSerial, outcome), 4);
        usePorts({station.path()});
        CompositeIo io;
        ASSERT_TRUE(io.searchCompositeIo(kSerial));
        EXPECT_EQ(runSelfTest(io), expected) << outcome;
    }
}

} // namespace
