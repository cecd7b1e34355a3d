#include "compositebussiness.h"
#include "pageclient.h"
#include "selftestrecordfile.h"
#include "serialport.h"
#include "stationsim.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kSerial = "SN-TEST-0001";

// The device logic linked to the station simulator over a pseudo-terminal.
class DeviceOnStation : public testing::Test
{
protected:
    void TearDown() override
    {
        device.reset();
        SerialPort::setPortLister({});
    }

    void start(const QJsonObject &scenario)
    {
        sent.clear();
        device.reset();
        sim = std::make_unique<StationSim>(scenario);
        const QString pty = sim->ptyPath();
        ASSERT_FALSE(pty.isEmpty());
        SerialPort::setPortLister([pty] { return QStringList{pty}; });
        const QString dir = appDir.path();
        device = std::make_unique<CompositeBussiness>(
            [this](const QString &ns, const QString &name, const QJsonValue &v) {
                sent.append({ns + "." + name, v});
            },
            [dir](const QString &sn) { return std::make_shared<SelfTestRecordFile>(sn, dir); });
    }

    QList<QJsonValue> named(const QString &name) const
    {
        QList<QJsonValue> found;
        for (const auto &[n, v] : sent)
            if (n == name)
                found << v;
        return found;
    }

    std::optional<QJsonValue> runSelfTest()
    {
        std::optional<QJsonValue> result;
        device->selfTest([&](const QJsonValue &v) { result = v; });
        waitUntil([&] { return result.has_value(); }, 10000);
        return result;
    }

    QString selfTestFile() const
    {
        return appDir.filePath(QStringLiteral("AmperlaneSettings/%1/%2/selfTest.data")
                                   .arg(QDir::home().dirName(), kSerial));
    }

    QTemporaryDir appDir;
    std::unique_ptr<StationSim> sim;
    QList<QPair<QString, QJsonValue>> sent;
    std::unique_ptr<CompositeBussiness> device;
};

TEST_F(DeviceOnStation, PollsTheStationForThePagesUntilDisconnected)
{
    start(testStation());
    device->onDevConnected(kSerial);
    device->onIsOnBattery(false);
    device->setNotifyPage("homePage", true);
    device->setNotifyPage("deviceDetail", true);

    ASSERT_TRUE(waitUntil([&] { return named("deviceDetail.notifyInfo").size() >= 2; }));
    const QJsonObject home = named("homePage.notifyCompositeDeviceInfo").first().toObject();
    EXPECT_EQ(home.value("battery.temperature"), 27);
    EXPECT_EQ(home.value("battery.ext1.temperature"), 25);
    EXPECT_EQ(home.value("input.realpower"), 121);
    EXPECT_EQ(named("homePage.notifyBatteryTime").first(), QJsonValue(batteryTimeObject(1530)));

    const QList<QJsonValue> details = named("deviceDetail.notifyInfo");
    const QJsonObject first = details.at(0).toObject();
    EXPECT_EQ(first.value("input").toObject().value("input.realpower"), QJsonArray{121});
    EXPECT_EQ(first.value("output").toObject().value("output.usb.c.realpower"), 7);
    EXPECT_EQ(details.at(1).toObject().value("input").toObject().value("input.realpower"),
              QJsonArray{121});

    EXPECT_EQ(device->getModeAndFirmwareVersion("VESSA"),
              (QJsonObject{{"mode", "VESSA"}, {"firmwareVersion", "1.2.3.4"}}));

    device->onDevDisconnected();
    sent.clear();
    waitUntil([] { return false; }, 1500);
    EXPECT_TRUE(sent.isEmpty());
    EXPECT_EQ(runSelfTest(), QJsonValue(4));
    EXPECT_EQ(device->getModeAndFirmwareVersion("VESSA").value("firmwareVersion"), "");
}

TEST_F(DeviceOnStation, SelfTestOutcomeIsAnsweredAndRecorded)
{
    const struct
    {
        bool passes;
        int state;
        const char *line;
    } cases[] = {{true, 3, "true"}, {false, 4, "false"}};
    for (const auto &c : cases) {
        start(testStation(c.passes, 1));
        device->onDevConnected(kSerial);

        bool secondAnswered = false;
        std::optional<QJsonValue> result;
        device->selfTest([&](const QJsonValue &v) { result = v; });
        device->selfTest([&](const QJsonValue &) { secondAnswered = true; });
        ASSERT_TRUE(waitUntil([&] { return result.has_value(); }, 10000));
        EXPECT_EQ(*result, QJsonValue(c.state));
        EXPECT_FALSE(secondAnswered);

        const QJsonObject last = device->getLastSelfTestTime();
        EXPECT_EQ(last.value("res"), QJsonValue(c.passes));
        EXPECT_TRUE(QRegularExpression(R"(^\d{4}-\d{1,2}-\d{1,2} \d\d:\d\d:\d\d$)")
                        .match(last.value("time").toString())
                        .hasMatch())
            << last.value("time").toString().toStdString();

        QFile record(selfTestFile());
        ASSERT_TRUE(record.open(QIODevice::ReadOnly | QIODevice::Text));
        const QStringList lines =
            QString::fromUtf8(record.readAll()).split('\n', Qt::SkipEmptyParts);
        EXPECT_TRUE(lines.last().endsWith(QStringLiteral(";") + c.line));
    }
}

TEST_F(DeviceOnStation, SelfTestStillRunningAfterTheLimitIsAnswered255)
{
    start(testStation(true, 600));
    device->setSelfTestTimeLimitMs(1500);
    device->onDevConnected(kSerial);
    EXPECT_EQ(runSelfTest(), QJsonValue(255));
    EXPECT_EQ(device->getLastSelfTestTime(), QJsonObject());
    EXPECT_FALSE(QFile::exists(selfTestFile()));
}

// One reply frame lost on the line (the station carried the request out): the limit still ends
// the self-test with 255, and the next self-test is not refused as already running.
TEST_F(DeviceOnStation, SelfTestWhoseReplyIsLostIsAnswered255AtTheLimit)
{
    const struct
    {
        const char *lost;
        int command;
    } cases[] = {{"execute", 5}, {"execution state", 6}};
    for (const auto &c : cases) {
        QJsonObject station = testStation(true, 1);
        station.insert("dropRepliesTo", c.command);
        start(station);
        device->setSelfTestTimeLimitMs(2000);
        device->onDevConnected(kSerial);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(runSelfTest(), QJsonValue(255)) << c.lost;
        EXPECT_GE(timer.elapsed(), 2000) << c.lost;
        EXPECT_EQ(runSelfTest(), QJsonValue(255)) << c.lost;
    }
}

TEST_F(DeviceOnStation, AStationWithAnotherSerialIsReportedOnceAfterThreeSearches)
{
    start(testStation());
    device->setNotifyPage("homePage", true);
    device->onDevConnected("SN-SOMEONE-ELSE");
    EXPECT_EQ(sent,
              (QList<QPair<QString, QJsonValue>>{{"global.notifyUsbSerialTips", QJsonObject()}}));
    waitUntil([] { return false; }, 1500);
    EXPECT_EQ(sent.size(), 1);
    EXPECT_EQ(runSelfTest(), QJsonValue(4));
}

} // namespace
