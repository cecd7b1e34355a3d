#include "serialport.h"
#include "testpty.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QJsonObject kBaud{{"baudrate", 115200}};

TEST(StationPortNames, KeepsOnlyTheStationsVendor)
{
    const QList<SerialPortEntry> ports = {
        {"ttyACM0", true, 0x3746}, {"ttyUSB0", true, 0x0403},  {"ttyS0", false, 0},
        {"ttyACM1", true, 0x3746}, {"ttyACM2", false, 0x3746},
    };
    EXPECT_EQ(stationPortNames(ports), (QStringList{"ttyACM0", "ttyACM1"}));
}

TEST(SerialPort, RefusalsEmitNothing)
{
    SerialPort port;
    QSignalSpy opened(&port, &IoInterface::opened);
    QSignalSpy closed(&port, &IoInterface::closed);
    QSignalSpy sent(&port, &IoInterface::sent);
    TestPty pty;

    EXPECT_FALSE(port.open(pty.path(), QJsonObject{{"baudrate", QJsonValue::Null}}));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write("data"));
    EXPECT_FALSE(port.open("/nonexistent/ttyX", kBaud));
    EXPECT_TRUE(opened.isEmpty());
    EXPECT_TRUE(closed.isEmpty());
    EXPECT_TRUE(sent.isEmpty());
}

TEST(SerialPort, CloseOfANeverOpenedPortStillReportsIt)
{
    SerialPort port;
    QSignalSpy closed(&port, &IoInterface::closed);
    EXPECT_TRUE(port.close());
    ASSERT_EQ(closed.size(), 1);
    EXPECT_EQ(closed[0][0].toString(), "Serial");
    EXPECT_EQ(closed[0][1].toString(), "");
}

TEST(SerialPort, CarriesBytesBothWaysOverAPseudoTerminal)
{
    TestPty pty;
    SerialPort port;
    QSignalSpy opened(&port, &IoInterface::opened);
    QSignalSpy sent(&port, &IoInterface::sent);
    QByteArray received;
    QObject::connect(&port, &IoInterface::received,
                     [&](const QByteArray &bytes) { received += bytes; });

    ASSERT_TRUE(port.open(pty.path(), kBaud)) << port.errorString().toStdString();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0][1].toString(), pty.path());

    const QByteArray frame =
        TQCommonCmd(0x66, 3, 0x22, 2, 1, 1, 3, "\x16", 0x0D, 0, 0xFF, 0xFF).getRawData();
    ASSERT_TRUE(port.write(frame));
    EXPECT_EQ(sent.size(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pty.requests().size() == 1; }, 3000));
    EXPECT_EQ(pty.requests()[0].getRawData(), frame);

    pty.write("\x01\x02\x03");
    ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() == 3; }, 3000));
    EXPECT_EQ(received, "\x01\x02\x03");
}

TEST(SerialPort, UnpluggingClosesThePort)
{
    TestPty pty;
    SerialPort port;
    ASSERT_TRUE(port.open(pty.path(), kBaud));
    QSignalSpy closed(&port, &IoInterface::closed);
    pty.hangUp();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !closed.isEmpty(); }, 3000));
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.write("late"));
}

} // namespace
