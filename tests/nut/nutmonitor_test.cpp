#include "amperlanesettings.h"
#include "monitorprobe.h"
#include "nutcmdexec.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

// The monitor in local mode with stand-ins for the NUT tools: upsc plays whatever answer the test
// sets, the stop and start scripts do nothing. Covers what a real NUT cannot be made to say.
class NutMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        write("linux/nut/bin/upsc", "#!/bin/sh\necho \"$1\" >> \"" + path("calls") +
                                        "\"\nexec sh \"" + path("answer.sh") + "\"\n");
        for (const char *name : {"kill_processes.sh", "start_upsdrvctl.sh", "start_upsd.sh"})
            write(QStringLiteral("linux/%1").arg(name), "#!/bin/sh\necho done\n");
        answer("");
        NutCmdExec::setApplicationFolder(m_app.path());
        m_settings = std::make_shared<AmperlaneSettings>(m_app.path());
        m_settings->setValue("batterySetting", "enableLowPowerShutdown", true);
        m_monitor = m_probe.makeMonitor(m_settings);
        m_monitor->setNotifyPage("homePage", true);
    }

    void TearDown() override
    {
        m_monitor.reset();
        NutCmdExec::setApplicationFolder(QString());
    }

    QByteArray path(const QString &name) const { return m_app.filePath(name).toUtf8(); }

    void write(const QString &name, const QByteArray &text)
    {
        QDir().mkpath(QFileInfo(m_app.filePath(name)).absolutePath());
        QFile file(m_app.filePath(name + ".new"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        ::rename(path(name + ".new"), path(name));
    }

    // The shell body that upsc runs for its answer.
    void answer(const QByteArray &script) { write("answer.sh", script + "\n"); }
    void answerVariables(const QByteArray &lines) { answer("cat <<'EOF'\n" + lines + "\nEOF"); }
    void answerStation(const char *status, const char *charge, const char *low = "10")
    {
        answerVariables(QByteArray("ups.serial: SN1\nups.model: TQ-UPS-X\nups.status: ") + status +
                        "\nbattery.charge: " + charge + "\nbattery.charge.low: " + low +
                        "\nbattery.runtime: 90");
    }
    void step(const char *status, const char *charge, const char *low = "10")
    {
        answerStation(status, charge, low);
        ASSERT_TRUE(m_probe.waitForStep(charge, status)) << status << " " << charge;
    }

    int upscCalls() const
    {
        QFile file(m_app.filePath("calls"));
        return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
    }

    QStringList lowPowerNotes() const
    {
        QStringList sent;
        for (const auto &note : m_probe.notes()) {
            if (note.name == "notifyLowPowerTip")
                sent << "tip";
            else if (note.name == "notifyLowPowerShutdown")
                sent << note.params.toObject().value("status").toString();
        }
        return sent;
    }

    QTemporaryDir m_app;
    std::shared_ptr<AmperlaneSettings> m_settings;
    MonitorProbe m_probe;
    std::unique_ptr<NutBussiness> m_monitor;
};

TEST_F(NutMonitorTest, LocalStepCheckComesFirstAndCanEndTheStep)
{
    std::atomic<int> checks{0};
    m_monitor->setLocalStepCheck([&checks] {
        ++checks;
        return LocalStepCheck{false, checks > 3};
    });
    answerStation("OL", "80");
    m_monitor->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return checks >= 3; }, 10000));
    EXPECT_EQ(upscCalls(), 0);
    ASSERT_TRUE(m_probe.waitForStep("80", "OL"));
    EXPECT_GE(upscCalls(), 1);
}

TEST_F(NutMonitorTest, BadAnswersKeepTheLoopGoing)
{
    m_monitor->start();
    // Charge not a number while on battery: device info goes out, the warnings are skipped.
    step("OB", "abc");
    EXPECT_TRUE(lowPowerNotes().isEmpty());
    EXPECT_EQ(m_probe.notes("notifyDevConnectStatus").size(), 1);

    // Errors and a server that went away: lost once.
    answer("echo 'Error: Driver not connected' >&2\nexit 1");
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_probe.disconnected == 1; }, 10000));
    answer("echo 'Init SSL without certificate database' >&2\nexit 1");
    QTest::qWait(2500);
    EXPECT_EQ(m_probe.disconnected, 1);
    EXPECT_EQ(m_probe.notes("notifyDevConnectStatus").size(), 2);

    // Back with an empty serial, a variable holding colons and a low level that is no number:
    // the default low level (10) stands in for it.
    answerVariables("ups.serial:\nups.status: OB\nups.time: 10:11:12\nbattery.charge: 5\n"
                    "battery.charge.low: low");
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_probe.connected.size() == 2; }, 10000));
    EXPECT_EQ(m_probe.connected.last(), "");
    EXPECT_TRUE(m_monitor->deviceSn().isEmpty());
    m_monitor->setNotifyPage("homePage", true);
    ASSERT_TRUE(m_probe.waitForStep("5", "OB"));
    EXPECT_EQ(lowPowerNotes(), QStringList({"tip", "lowPowerShutdown", "shutdown"}));
    EXPECT_EQ(m_probe.notes("notifyBatteryChargeLow").last().params, QJsonValue(10));
    EXPECT_EQ(m_monitor->batteryChargeLow(), 10);
}

TEST_F(NutMonitorTest, ChangedLowLevelAndRearmingSendTheWarningsAgain)
{
    m_monitor->start();
    step("OB", "11");
    EXPECT_EQ(lowPowerNotes(), QStringList({"tip", "lowPowerShutdown", "shutdown"}));
    step("OL", "50");
    step("OB", "11");
    EXPECT_EQ(lowPowerNotes().mid(3), QStringList({"tip", "lowPowerShutdown"}));

    // A new low level arms everything; 10 is within one point of 9.
    step("OB", "10", "9");
    EXPECT_EQ(lowPowerNotes().mid(5), QStringList({"tip", "lowPowerShutdown", "shutdown"}));
    EXPECT_EQ(m_probe.notes("notifyBatteryChargeLow").last().params, QJsonValue(9));
    EXPECT_EQ(m_monitor->lastLowPowerTip(),
              json(R"({"tipLimitValue": 14, "batteryLowLimitValue": 9})"));

    // What the service does when the page stores other margins.
    m_monitor->rearmLowPowerTip();
    step("OB", "9", "9");
    EXPECT_EQ(lowPowerNotes().mid(8), QStringList({"tip"}));
    m_monitor->rearmLowPowerShutdown();
    step("OB", "8", "9");
    EXPECT_EQ(lowPowerNotes().mid(9), QStringList({"lowPowerShutdown", "shutdown"}));
    EXPECT_EQ(m_probe.raised, 11);
}

TEST_F(NutMonitorTest, StopsWhileUpscHangs)
{
    answer("sleep 4");
    m_monitor->start();
    ASSERT_TRUE(QTest::qWaitFor([this] { return upscCalls() == 1; }, 10000));
    QElapsedTimer timer;
    timer.start();
    m_monitor.reset();
    EXPECT_LT(timer.elapsed(), 8000);
}

} // namespace
