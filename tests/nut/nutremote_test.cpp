#include "localmonitortest.h"

#include <QJsonDocument>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

// A NUT server on 127.0.0.1:3496 stands in for the remote one (the default remote address).
class NutRemoteTest : public LocalMonitorTest
{
protected:
    void SetUp() override
    {
        LocalMonitorTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(m_remote.waitForFreePort());
    }

    void setMode(const char *mode) { m_settings->setValue("connectModeParam", "mode", mode); }

    QList<QJsonObject> connectStatuses() const
    {
        QList<QJsonObject> statuses;
        for (const auto &note : m_probe.notes("notifyDevConnectStatus"))
            statuses.append(note.params.toObject());
        return statuses;
    }

    NutInstallation m_remote{3496};
};

TEST_F(NutRemoteTest, EvaluatesBeforeAPageConnectsAndIdentifiesAfter)
{
    setMode("remote");
    m_settings->setValue("batterySetting", "enableRemoteLowPowerShutdown", true);
    m_settings->setValue("batterySetting", "lowPowerShutdownValue", 10);
    m_remote.setVariables(
        NutInstallation::station({{"ups.status", "OB"}, {"battery.charge", "15"}}));
    m_remote.start();
    startMonitor();

    // Before any page has said hello, the set is evaluated but nothing is connected.
    ASSERT_TRUE(m_probe.waitForStep("15", "OB")) << m_remote.log();
    EXPECT_EQ(m_probe.notes("notifyLowPowerTip").size(), 1);
    EXPECT_TRUE(m_probe.notes("notifyLowPowerShutdown").isEmpty()) << "the remote margin is 4";
    m_remote.setVariables(
        NutInstallation::station({{"ups.status", "OB"}, {"battery.charge", "14"}}));
    ASSERT_TRUE(m_probe.waitForStep("14", "OB"));
    const auto warnings = m_probe.notes("notifyLowPowerShutdown");
    ASSERT_EQ(warnings.size(), 1);
    const QJsonObject remoteWarning =
        json(R"({"status": "lowPowerShutdown", "mode": "remote", "lowPowerShutdownValue": 10})");
    EXPECT_EQ(warnings[0].params.toObject(), remoteWarning);
    EXPECT_EQ(m_monitor->lastLowPowerShutdown(), remoteWarning);
    EXPECT_EQ(m_probe.raised, 2);
    EXPECT_TRUE(connectStatuses().isEmpty());
    EXPECT_TRUE(m_monitor->deviceSn().isEmpty());

    m_monitor->setWebsocketConnected();
    ASSERT_TRUE(QTest::qWaitFor([this] { return !connectStatuses().isEmpty(); }, 5000));
    EXPECT_EQ(connectStatuses(),
              QList<QJsonObject>{json(R"({"mode": "remote", "status": "connectDev"})")});
    EXPECT_EQ(m_monitor->deviceSn(), "SN00001234");
    EXPECT_TRUE(m_monitor->deviceModel().isEmpty());

    // An unreachable server: lost at once, and the warnings are forgotten.
    m_remote.stop();
    ASSERT_TRUE(QTest::qWaitFor([this] { return connectStatuses().size() == 2; }, 10000));
    QTest::qWait(2500);
    EXPECT_EQ(connectStatuses().size(), 2);
    EXPECT_EQ(connectStatuses().last(), json(R"({"mode": "remote", "status": "noDev"})"));
    EXPECT_TRUE(m_monitor->deviceSn().isEmpty());
    EXPECT_TRUE(m_monitor->lastLowPowerTip().isEmpty());
    EXPECT_TRUE(m_monitor->lastLowPowerShutdown().isEmpty());
    EXPECT_TRUE(m_probe.connected.isEmpty());
    EXPECT_EQ(m_probe.disconnected, 0);
    EXPECT_EQ(m_probe.detailPageCalls(), QList<bool>{false});
}

TEST_F(NutRemoteTest, ModeChangeTakesEffectAfterPauseAndResume)
{
    m_nut.setVariables(NutInstallation::station({{"battery.charge", "77"}}));
    m_remote.setVariables(
        NutInstallation::station({{"battery.charge", "33"}, {"ups.serial", "REMOTE0002"}}));
    m_remote.start();
    startMonitor();
    ASSERT_TRUE(m_probe.waitForStep("77", "OL")) << m_nut.log();
    EXPECT_EQ(m_monitor->deviceSn(), "SN00001234");

    setMode("remote");
    ASSERT_TRUE(m_probe.waitForStep("77", "OL")) << "the mode is read only after a pause";

    m_monitor->setEnabled(false);
    QTest::qWait(1500);
    const int infosWhilePaused = m_probe.notes("notifyUPSDeviceInfo").size();
    QTest::qWait(2000);
    EXPECT_EQ(m_probe.notes("notifyUPSDeviceInfo").size(), infosWhilePaused);

    m_monitor->setEnabled(true);
    ASSERT_TRUE(m_probe.waitForStep("33", "OL"));
    // A change of mode keeps the station identified.
    EXPECT_EQ(m_monitor->deviceSn(), "SN00001234");
    EXPECT_EQ(connectStatuses().size(), 1);

    // Back to local: the local NUT service is started anew.
    const qint64 localServer = m_nut.serverPid();
    ASSERT_GT(localServer, 0);
    m_monitor->setEnabled(false);
    setMode("local");
    m_monitor->setEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return m_nut.serverPid() > 0 && m_nut.serverPid() != localServer; }, 10000));
    ASSERT_TRUE(m_nut.waitFor("battery.charge", "77"));
    // The restart may have been seen as a loss, which stops the home-page notifications.
    QTest::qWait(1500);
    EXPECT_EQ(connectStatuses().last(), json(R"({"mode": "local", "status": "connectDev"})"));
    m_monitor->setNotifyPage("homePage", true);
    EXPECT_TRUE(m_probe.waitForStep("77", "OL"));
}

} // namespace
