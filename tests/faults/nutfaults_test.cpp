// The NUT monitor in local mode on real NUT (upsd + dummy-ups run by the installation's scripts)
// while the server fails underneath it.

#include "filemessagehandler.h"
#include "localmonitortest.h"
#include "logcapture.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTest>
#include <gtest/gtest.h>

#include <signal.h>

namespace {

class NutFaults : public LocalMonitorTest
{
protected:
    void TearDown() override
    {
        // A stopped server or driver must not outlive the test.
        for (const qint64 pid : {m_nut.serverPid(), m_nut.driverPid()})
            if (pid > 0)
                ::kill(pid_t(pid), SIGCONT);
        LocalMonitorTest::TearDown();
    }

    // Starts monitoring a station on mains, then takes its mains away at `charge` (its low level
    // is 10): one outage.
    void startOnBattery(int charge, const QJsonObject &changes = {})
    {
        QJsonObject variables = NutInstallation::station(changes);
        ASSERT_TRUE(m_nut.setVariables(variables));
        startMonitor();
        ASSERT_TRUE(m_probe.waitForStep("100", "OL", 30000)) << m_nut.log();
        variables["ups.status"] = "OB";
        variables["battery.charge"] = QString::number(charge);
        ASSERT_TRUE(m_nut.setVariables(variables));
        ASSERT_TRUE(m_probe.waitForStep(QString::number(charge), "OB", 30000)) << m_nut.log();
    }

    // After a loss the monitor sends device info only when a page asks again; its connect status
    // shows the station is back.
    bool waitForReconnect(int losses)
    {
        return QTest::qWaitFor(
            [&] {
                const QStringList statuses = connectStatuses();
                return statuses.count("noDev") == losses && statuses.last() == "connectDev";
            },
            30000);
    }

    int outageNotes() const { return int(m_probe.notes("notifyLastTurnOffChargeTime").size()); }

    QStringList connectStatuses() const
    {
        QStringList statuses;
        for (const auto &note : m_probe.notes("notifyDevConnectStatus"))
            statuses.append(note.params.toObject().value("status").toString());
        return statuses;
    }

    int lowPowerNotes() const
    {
        return int(m_probe.notes("notifyLowPowerTip").size() +
                   m_probe.notes("notifyLowPowerShutdown").size());
    }

    QStringList outageRecords(const QString &serial = "SN00001234") const
    {
        QFile file(m_nut.appDir() + "/AmperlaneSettings/" + QDir::home().dirName() + "/" + serial +
                   "/turnOffCharge.data");
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
};

// One above the tip (low + 5): a loss of the server must not read as a falling charge.
TEST_F(NutFaults, ServerKilledAndRestartedOnBatteryGivesNoWarningAndOneOutage)
{
    startOnBattery(16);
    ASSERT_EQ(outageRecords().size(), 1);
    ASSERT_EQ(outageNotes(), 1);

    ASSERT_TRUE(m_nut.killServer());
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_probe.disconnected == 1; }, 15000));
    QTest::qWait(4000);
    EXPECT_EQ(connectStatuses().count("noDev"), 1);

    m_nut.startServer();
    ASSERT_TRUE(waitForReconnect(1)) << m_nut.log();
    QTest::qWait(3000);

    EXPECT_EQ(connectStatuses(), QStringList({"connectDev", "noDev", "connectDev"}));
    EXPECT_EQ(m_probe.connected.size(), 2);
    EXPECT_EQ(lowPowerNotes(), 0);
    EXPECT_EQ(outageNotes(), 1);
    EXPECT_EQ(outageRecords().size(), 1) << outageRecords().join('\n').toStdString();
}

// With the station there, a dead server or driver is brought back by the monitor itself after 10
// empty steps, and the count starts again once NUT answers.
TEST_F(NutFaults, KilledServerAndKilledDriverAreRestartedByTheMonitor)
{
    LogCapture log;
    startOnBattery(50);
    struct
    {
        const char *part;
        qint64 (NutInstallation::*pid)() const;
    } parts[] = {{"server", &NutInstallation::serverPid}, {"driver", &NutInstallation::driverPid}};
    for (int i = 0; i < 2; ++i) {
        const qint64 pid = (m_nut.*parts[i].pid)();
        ASSERT_GT(pid, 0) << parts[i].part;
        ASSERT_EQ(::kill(pid_t(pid), SIGKILL), 0);
        ASSERT_TRUE(waitForReconnect(i + 1)) << parts[i].part << "\n" << m_nut.log();
        EXPECT_GT((m_nut.*parts[i].pid)(), 0) << parts[i].part;
        EXPECT_EQ(log.messages().filter("restarting it (restart 1)").size(), i + 1);
        EXPECT_EQ(log.messages().filter("restarting it (restart 2)").size(), 0);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return log.messages().filter("answers again after 1 restart").size() == i + 1; },
            10000));
    }
    EXPECT_EQ(outageNotes(), 1);
    EXPECT_EQ(lowPowerNotes(), 0);
}

// A server that stops answering (the process is frozen, its socket still accepts) holds every
// upsc; the runner's 5 s limit keeps the monitor stepping.
TEST_F(NutFaults, FrozenServerDoesNotStopTheMonitor)
{
    LogCapture log;
    startOnBattery(50);
    const qint64 pid = m_nut.serverPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid_t(pid), SIGSTOP), 0);
    const int startsBefore = int(log.messages().count("QProcess start"));
    QTest::qWait(16000);
    const int startsFrozen = int(log.messages().count("QProcess start")) - startsBefore;
    ASSERT_EQ(::kill(pid_t(pid), SIGCONT), 0);

    // At most 6 s per step (5 s limit, then the 1 s pause): at least two steps in 16 s.
    EXPECT_GE(startsFrozen, 2);
    EXPECT_EQ(connectStatuses().count("noDev"), 1);
    EXPECT_TRUE(waitForReconnect(1)) << m_nut.log();
    QTest::qWait(3000);
    EXPECT_EQ(lowPowerNotes(), 0);
    EXPECT_EQ(outageNotes(), 1);
}

// The driver stops answering (frozen) while the station is on battery near its tip level: the
// server soon calls its data stale, which reads as a lost station. The monitor goes on stepping,
// warns of nothing, and finds the station again, still in the same outage, once the driver answers.
TEST_F(NutFaults, FrozenDriverReadsAsALostStationUntilItAnswersAgain)
{
    startOnBattery(16);
    const qint64 pid = m_nut.driverPid();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid_t(pid), SIGSTOP), 0);
    const bool lost = QTest::qWaitFor([this] { return m_probe.disconnected == 1; }, 60000);
    QTest::qWait(3000);
    ASSERT_EQ(::kill(pid_t(pid), SIGCONT), 0);
    ASSERT_TRUE(lost) << m_nut.log();

    EXPECT_TRUE(waitForReconnect(1)) << m_nut.log();
    QTest::qWait(3000);
    EXPECT_EQ(connectStatuses(), QStringList({"connectDev", "noDev", "connectDev"}));
    EXPECT_EQ(lowPowerNotes(), 0);
    EXPECT_EQ(outageNotes(), 1);
    EXPECT_EQ(outageRecords().size(), 1) << outageRecords().join('\n').toStdString();
}

// Values come from the station through NUT: control characters and a serial number that looks
// like a path reach the page as text, and the outage record stays inside the settings folder.
TEST_F(NutFaults, HostileVariableValuesStayText)
{
    const QString escape = "x\x1b[2J";
    const QString serial = "../../../" + escape;
    startOnBattery(50, {{"device.model", "TQ-UPS-\x07\x1b[31mred\x7f"},
                        {"device.serial", serial},
                        {"ups.serial", serial}});
    EXPECT_EQ(m_probe.connected.size(), 1);
    EXPECT_TRUE(m_probe.notes("notifyUPSDeviceInfo")
                    .last()
                    .params.toObject()
                    .value("ups.devName")
                    .isString());

    const QString settings = m_nut.appDir() + "/AmperlaneSettings/" + QDir::home().dirName();
    QStringList records;
    QDirIterator files(m_nut.appDir(), {"turnOffCharge.data"}, QDir::Files | QDir::Hidden,
                       QDirIterator::Subdirectories);
    while (files.hasNext())
        records.append(QFileInfo(files.next()).absolutePath());
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(QFileInfo(records[0]).absolutePath(), settings);
    const QString appParent = QFileInfo(m_nut.appDir()).absolutePath();
    for (const QString &dir : {appParent, m_nut.appDir(), m_nut.appDir() + "/AmperlaneSettings"})
        EXPECT_FALSE(QFileInfo::exists(dir + "/" + escape)) << dir.toStdString();
    EXPECT_EQ(lowPowerNotes(), 0);
}

// The daily log cannot be written, first because the disk is full (the day's file leads to
// /dev/full), then because the log folder cannot be made: the monitor keeps going and records the
// next outage.
TEST_F(NutFaults, UnwritableLogDoesNotStopMonitoring)
{
    const QString folder = logFolder();
    ASSERT_EQ(folder, QCoreApplication::applicationDirPath() + "/log");
    QDir(folder).removeRecursively();
    QFile::remove(folder);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString today = folder + "/" + QDate::currentDate().toString("yyyy-MM-dd") + ".log";
    ASSERT_TRUE(QFile::link("/dev/full", today));
    const QtMessageHandler previous = qInstallMessageHandler(fileMessageHandler);

    startOnBattery(60);
    QJsonObject online = NutInstallation::station();
    ASSERT_TRUE(m_nut.setVariables(online));
    ASSERT_TRUE(m_probe.waitForStep("100", "OL", 30000));
    ASSERT_EQ(outageNotes(), 1);

    // No folder: a file of that name stands in its place.
    QDir(folder).removeRecursively();
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QJsonObject onBattery = online;
    onBattery["ups.status"] = "OB";
    onBattery["battery.charge"] = "70";
    ASSERT_TRUE(m_nut.setVariables(onBattery));
    const bool sawOutage = m_probe.waitForStep("70", "OB", 30000);

    qInstallMessageHandler(previous);
    QFile::remove(folder);
    ASSERT_TRUE(sawOutage);
    EXPECT_EQ(outageNotes(), 2);
    EXPECT_EQ(outageRecords().size(), 2);
    EXPECT_EQ(connectStatuses(), QStringList{"connectDev"});
}

} // namespace
