#include "localmonitortest.h"
#include "upsvariables.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

QJsonObject stationAt(const QString &status, int charge)
{
    return NutInstallation::station(
        {{"ups.status", status}, {"battery.charge", QString::number(charge)}});
}

// Steps the simulated station through states.
class NutLocalTest : public LocalMonitorTest
{
protected:
    // Puts the station into `status` at `charge` and waits until the monitor has evaluated it.
    void step(const QString &status, int charge)
    {
        ASSERT_TRUE(m_nut.setVariables(stationAt(status, charge)));
        ASSERT_TRUE(m_probe.waitForStep(QString::number(charge), status))
            << status.toStdString() << " " << charge << "\n"
            << m_nut.log();
    }

    QList<QJsonObject> connectStatuses() const
    {
        QList<QJsonObject> statuses;
        for (const auto &note : m_probe.notes("notifyDevConnectStatus"))
            statuses.append(note.params.toObject());
        return statuses;
    }
};

TEST_F(NutLocalTest, UpscOfTheInstallationAnswersInOneBlockWithoutTheSslBanner)
{
    m_nut.start();
    ASSERT_TRUE(m_nut.waitFor("ups.status", "OL")) << m_nut.log();
    const QString upsc = m_nut.appDir() + "/linux/nut/bin/upsc";
    for (int i = 0; i < 5; ++i) {
        const QByteArray output = NutCmdExec::cmdExec(upsc, {m_nut.upsAddress()});
        EXPECT_FALSE(output.contains("Init SSL"));
        EXPECT_EQ(parseUpsVariables(output).value("ups.serial").toString(), "SN00001234");
        EXPECT_EQ(parseUpsVariables(output).value("battery.runtime").toString(), "1505");
    }
}

// A server that answers a byte a second, never a whole line, holds the client past its own read
// time-out; the runner's time limit must end the client itself, not only the script around it. A
// port nobody serves gives the client's error line.
TEST(UpscWrapper, TimeLimitEndsTheClientAndAnUnreadableUpsGivesTheErrorLine)
{
    NutInstallation installation;
    const QString upsc = installation.appDir() + "/linux/nut/bin/upsc";
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    QTcpSocket *held = nullptr;
    QObject::connect(&silent, &QTcpServer::newConnection,
                     [&] { held = silent.nextPendingConnection(); });
    QTimer drip;
    QObject::connect(&drip, &QTimer::timeout, [&] {
        if (held)
            held->write(" ");
    });
    drip.start(1000);

    const QString silentUps = QStringLiteral("nutdev1@127.0.0.1:%1").arg(silent.serverPort());
    EXPECT_TRUE(NutCmdExec::cmdExec(upsc, {silentUps}).isEmpty());
    ASSERT_NE(held, nullptr);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return held->state() == QAbstractSocket::UnconnectedState; }, 4000))
        << "the client still waits on the server";

    const quint16 unserved = silent.serverPort();
    silent.close();
    const QByteArray refused =
        NutCmdExec::cmdExec(upsc, {QStringLiteral("nutdev1@127.0.0.1:%1").arg(unserved)});
    EXPECT_TRUE(refused.startsWith("Error: ")) << refused.toStdString();
    EXPECT_FALSE(refused.contains("Init SSL"));
}

TEST_F(NutLocalTest, StopScriptEndsNutEvenWhileItIsStillComingUp)
{
    for (int i = 0; i < 3; ++i) {
        m_nut.start();
        m_nut.stop();
    }
    QTest::qWait(2000);
    EXPECT_EQ(m_nut.runningProcesses(), 0);

    m_nut.start();
    ASSERT_TRUE(m_nut.waitFor("ups.status", "OL")) << m_nut.log();
    EXPECT_EQ(m_nut.runningProcesses(), 2);
    m_nut.stop();
    EXPECT_EQ(m_nut.runningProcesses(), 0);
}

TEST_F(NutLocalTest, IdentifiesLosesAndFindsTheStationAgain)
{
    startMonitor();
    ASSERT_TRUE(m_probe.waitForStep("100", "OL")) << m_nut.log();

    EXPECT_EQ(m_probe.connected, QList<QString>{"SN00001234"});
    EXPECT_EQ(connectStatuses(),
              QList<QJsonObject>{json(R"({"mode": "local", "status": "connectDev"})")});
    EXPECT_EQ(m_probe.detailPageCalls(), QList<bool>{true});
    EXPECT_EQ(m_monitor->deviceSn(), "SN00001234");
    EXPECT_EQ(m_monitor->deviceModel(), "TQ-UPS-VESSA 5 Core");
    EXPECT_EQ(m_monitor->batteryChargeLow(), 10);
    const auto chargeLow = m_probe.notes("notifyBatteryChargeLow");
    ASSERT_EQ(chargeLow.size(), 1);
    EXPECT_EQ(chargeLow[0].params, QJsonValue(10));
    EXPECT_EQ(m_probe.notes("notifyUPSDeviceInfo").last().params.toObject(),
              json(R"({"ups.status": false, "ups.chargeStatus": false, "battery.charge": "100",
                       "ups.devName": "VESSA 5 Core-1234", "ups.realpower.nominal": "1024Wh"})"));
    EXPECT_EQ(m_probe.notes("notifyBatteryTime").last().params.toObject(),
              json(R"({"days": 1, "hours": 1, "minutes": 5})"));

    ASSERT_TRUE(m_nut.killServer());
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_probe.disconnected == 1; }, 15000));
    const int infosAtLoss = m_probe.notes("notifyUPSDeviceInfo").size();
    QTest::qWait(3500);
    EXPECT_EQ(m_probe.disconnected, 1);
    EXPECT_EQ(connectStatuses().size(), 2);
    EXPECT_EQ(connectStatuses().last(), json(R"({"mode": "local", "status": "noDev"})"));
    EXPECT_EQ(m_probe.detailPageCalls(), QList<bool>({true, false}));
    EXPECT_TRUE(m_monitor->deviceSn().isEmpty());
    EXPECT_TRUE(m_monitor->last100TurnOffChargeTime().isEmpty());
    EXPECT_EQ(m_probe.notes("notifyUPSDeviceInfo").size(), infosAtLoss);

    m_nut.startServer();
    ASSERT_TRUE(QTest::qWaitFor([this] { return connectStatuses().size() == 3; }, 20000));
    EXPECT_EQ(connectStatuses().last(), json(R"({"mode": "local", "status": "connectDev"})"));
    EXPECT_EQ(m_probe.connected, QList<QString>({"SN00001234", "SN00001234"}));
    // Device info needs the page to ask again after a loss.
    QTest::qWait(1500);
    EXPECT_EQ(m_probe.notes("notifyUPSDeviceInfo").size(), infosAtLoss);
}

TEST_F(NutLocalTest, RecordsEachMainsFailureOnceAndSignalsChargingChanges)
{
    startMonitor();
    struct
    {
        const char *status;
        int charge;
        int failures;
        QList<bool> onBattery;
    } steps[] = {
        {"OL", 100, 0, {}},
        {"OL CHRG", 90, 0, {false}},
        {"OL", 91, 0, {false, true}},
        {"OB DISCHRG", 80, 1, {false, true}},
        {"OB", 79, 1, {false, true}},
        {"LB", 78, 1, {false, true}},
        {"OL CHRG", 85, 1, {false, true, false}},
        {"OB", 84, 2, {false, true, false, true}},
    };
    for (const auto &s : steps) {
        if (QString(s.status) == "LB") {
            // Neither OB nor OL: the set is skipped as a whole, device info included.
            ASSERT_TRUE(m_nut.setVariables(stationAt(s.status, s.charge)));
            ASSERT_TRUE(m_nut.waitFor("ups.status", "LB"));
            QTest::qWait(2000);
            continue;
        }
        step(s.status, s.charge);
        EXPECT_EQ(m_probe.notes("notifyLastTurnOffChargeTime").size(), s.failures) << s.charge;
        EXPECT_EQ(m_probe.onBattery, s.onBattery) << s.charge;
    }

    for (const auto &note : m_probe.notes("notifyUPSDeviceInfo"))
        EXPECT_NE(note.params.toObject().value("battery.charge").toString(), "78");
    const QJsonArray times = m_monitor->last100TurnOffChargeTime();
    ASSERT_EQ(times.size(), 2);
    const QRegularExpression format(R"(^\d{4}-\d{1,2}-\d{1,2} \d{2}:\d{2}:\d{2}$)");
    EXPECT_TRUE(format.match(times[1].toString()).hasMatch()) << times[1].toString().toStdString();
    EXPECT_EQ(m_probe.notes("notifyLastTurnOffChargeTime").last().params.toObject(),
              QJsonObject({{"time", times[1]}}));
    QFile file(QStringLiteral("%1/AmperlaneSettings/%2/SN00001234/turnOffCharge.data")
                   .arg(m_nut.appDir(), QDir::home().dirName()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().count('\n'), 2);
}

// The low-power sequence while on battery, UPS low level 10, margins 5 and 4, local shutdown on.
struct LowPowerStep
{
    const char *status;
    int charge;
    int lowPowerNotes; // tip and shutdown notifications sent so far
};

struct LowPowerScenario
{
    const char *name;
    std::vector<LowPowerStep> steps;
    std::vector<const char *> expected;
};

void PrintTo(const LowPowerScenario &scenario, std::ostream *os)
{
    *os << scenario.name;
}

const char *kTip = R"({"tipLimitValue": 15, "batteryLowLimitValue": 10})";
const char *kStageOne = R"({"status": "lowPowerShutdown", "mode": "local", "interval": 20,
                            "lowPowerShutdownValue": 10})";
const char *kStageTwo = R"({"status": "shutdown", "mode": "local", "interval": 5})";

class NutLowPowerTest : public NutLocalTest, public ::testing::WithParamInterface<LowPowerScenario>
{
};

TEST_P(NutLowPowerTest, SendsEachWarningOnceInOrder)
{
    m_settings->setValue("batterySetting", "enableLowPowerShutdown", true);
    startMonitor();
    for (const LowPowerStep &s : GetParam().steps) {
        step(s.status, s.charge);
        int sent = 0;
        for (const auto &note : m_probe.notes())
            sent += note.name == "notifyLowPowerTip" || note.name == "notifyLowPowerShutdown";
        EXPECT_EQ(sent, s.lowPowerNotes) << s.status << " " << s.charge;
    }

    QList<QJsonObject> sent;
    for (const auto &note : m_probe.notes()) {
        if (note.name == "notifyLowPowerTip" || note.name == "notifyLowPowerShutdown") {
            EXPECT_EQ(note.ns, "global");
            sent.append(note.params.toObject());
        }
    }
    QList<QJsonObject> expected;
    for (const char *payload : GetParam().expected)
        expected.append(json(payload));
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(m_probe.raised, int(expected.size()));
    EXPECT_EQ(m_monitor->lastLowPowerTip(), json(kTip));
    EXPECT_EQ(m_monitor->lastLowPowerShutdown(), json(kStageOne));
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, NutLowPowerTest,
    ::testing::Values(
        LowPowerScenario{"FallingStepByStep",
                         {{"OB", 16, 0}, {"OB", 15, 1}, {"OB", 14, 2}, {"OB", 11, 3}},
                         {kTip, kStageOne, kStageTwo}},
        LowPowerScenario{"SuddenDrop", {{"OB", 20, 0}, {"OB", 9, 3}}, {kTip, kStageOne, kStageTwo}},
        // After the mains return, the tip and stage one are armed again but stage two is not.
        LowPowerScenario{"MainsReturnAndFailAgain",
                         {{"OB", 11, 3}, {"OL", 50, 3}, {"OB", 11, 5}},
                         {kTip, kStageOne, kStageTwo, kTip, kStageOne}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
