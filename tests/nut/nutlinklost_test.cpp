// A UPS that cannot be read any more while its last known status was on battery, on real NUT
// (upsd + dummy-ups), in both modes.

#include "localmonitortest.h"

#include <QJsonDocument>
#include <QTest>
#include <gtest/gtest.h>

#include <atomic>

namespace {

struct LinkLostCase
{
    const char *name;
    const char *mode;
    const char *charge; // last reading before the loss; low 10, tip margin 5
    bool stageOne;      // the loss starts the first shutdown stage
};

void PrintTo(const LinkLostCase &c, std::ostream *os)
{
    *os << c.name;
}

// A server on 127.0.0.1:3496 stands in for the remote one. In local mode the station's USB node
// goes with the link (a pulled cable), so nothing restarts NUT meanwhile.
class NutLinkLostTest : public LocalMonitorTest, public ::testing::WithParamInterface<LinkLostCase>
{
protected:
    void SetUp() override
    {
        LocalMonitorTest::SetUp();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(m_remote.waitForFreePort());
    }

    NutInstallation &server() { return remote() ? m_remote : m_nut; }
    bool remote() const { return QString(GetParam().mode) == "remote"; }

    NutInstallation m_remote{3496};
    std::atomic<bool> m_stationPresent{true};
};

TEST_P(NutLinkLostTest, IsReportedOnceRaisesTheWindowAndIsReportedBack)
{
    const LinkLostCase &c = GetParam();
    m_settings->setValue("connectModeParam", "mode", c.mode);
    m_settings->setValue("batterySetting", "enableLowPowerShutdown", true);
    m_settings->setValue("batterySetting", "enableRemoteLowPowerShutdown", true);
    ASSERT_TRUE(server().setVariables(
        NutInstallation::station({{"ups.status", "OB"}, {"battery.charge", c.charge}})));
    if (remote())
        m_remote.start();
    m_monitor = m_probe.makeMonitor(m_settings);
    m_monitor->setNotifyPage("homePage", true);
    m_monitor->setLocalStepCheck([this] { return LocalStepCheck{m_stationPresent, true}; });
    m_monitor->start();
    ASSERT_TRUE(m_probe.waitForStep(c.charge, "OB")) << server().log();
    const int stagesBefore = int(m_probe.stages.size());
    const int raisedBefore = m_probe.raised;

    m_stationPresent = false;
    ASSERT_TRUE(server().killServer());
    ASSERT_TRUE(m_probe.waitForNote("notifyUpsLinkLost", 1, 30000));
    QTest::qWait(3000);
    const auto lost = m_probe.notes("notifyUpsLinkLost");
    ASSERT_EQ(lost.size(), 1);
    EXPECT_EQ(lost[0].ns, "global");
    const QJsonObject payload = lost[0].params.toObject();
    EXPECT_EQ(payload.value("mode"), QJsonValue(c.mode));
    EXPECT_EQ(payload.value("onBattery"), QJsonValue(true));
    EXPECT_EQ(payload.value("lastCharge"), QJsonValue(QString(c.charge).toInt()));
    EXPECT_GE(payload.value("seconds").toInt(), 15);
    EXPECT_LT(payload.value("seconds").toInt(), 30);
    EXPECT_EQ(m_probe.linkLost, QList<bool>{true});

    using Stages = QList<QPair<int, int>>;
    const Stages expected = c.stageOne ? Stages{{1, 20}} : Stages{};
    EXPECT_EQ(m_probe.stages.mid(stagesBefore), expected);
    EXPECT_EQ(m_probe.raised - raisedBefore, c.stageOne ? 2 : 1);

    m_stationPresent = true;
    server().startServer();
    ASSERT_TRUE(m_probe.waitForNote("notifyUpsLinkLost", 2, 30000)) << server().log();
    EXPECT_EQ(m_probe.notes("notifyUpsLinkLost")[1].params.toObject().value("seconds"),
              QJsonValue(0));
    EXPECT_EQ(m_probe.linkLost, QList<bool>({true, false}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NutLinkLostTest,
    ::testing::Values(LinkLostCase{"LocalAtTheTipStartsStageOne", "local", "15", true},
                      LinkLostCase{"LocalAboveTheTipOnlyWarns", "local", "16", false},
                      LinkLostCase{"RemoteOnlyWarns", "remote", "15", false}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
