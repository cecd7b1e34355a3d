// The first step after the PC wakes up, on real NUT (upsd + dummy-ups). The monitor's clock
// stands in for the sleep: when the test puts the PC to sleep, the next reading of the clock
// changes the world as it would change while asleep, waits until NUT serves the change, and comes
// back a minute later.

#include "localmonitortest.h"

#include <QTest>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace {

class NutWakeUpTest : public LocalMonitorTest
{
protected:
    void startSleepingMonitor()
    {
        startMonitor([this] {
            if (m_sleepNext.exchange(false)) {
                m_whileAsleep();
                m_asleepMs += 60000;
            }
            return wallClockMs() + m_asleepMs;
        });
    }

    // The next step begins after a minute asleep, in which `whileAsleep` happened.
    void sleep(std::function<void()> whileAsleep)
    {
        m_whileAsleep = std::move(whileAsleep);
        m_sleepNext = true;
    }

    int firstNoteIndex(const QString &name, int from = 0) const
    {
        const auto all = m_probe.notes();
        for (int i = from; i < all.size(); ++i)
            if (all[i].name == name)
                return i;
        return -1;
    }

    int infoIndex(const QString &charge, int from = 0) const
    {
        const auto all = m_probe.notes();
        for (int i = from; i < all.size(); ++i)
            if (all[i].name == "notifyUPSDeviceInfo" &&
                all[i].params.toObject().value("battery.charge").toString() == charge)
                return i;
        return -1;
    }

    std::atomic<bool> m_sleepNext{false};
    std::atomic<qint64> m_asleepMs{0};
    std::function<void()> m_whileAsleep;
};

// The station fell to its last stage while the PC slept: the first step shows it, the next one
// warns.
TEST_F(NutWakeUpTest, ValuesOfTheWakeUpStepAreShownAndTheNextStepActs)
{
    m_settings->setValue("batterySetting", "enableLowPowerShutdown", true);
    ASSERT_TRUE(m_nut.setVariables(
        NutInstallation::station({{"ups.status", "OB"}, {"battery.charge", "50"}})));
    startSleepingMonitor();
    ASSERT_TRUE(m_probe.waitForStep("50", "OB")) << m_nut.log();

    const QJsonObject empty =
        NutInstallation::station({{"ups.status", "OB"}, {"battery.charge", "11"}});
    sleep([this, empty] {
        m_nut.setVariables(empty);
        m_nut.waitFor("battery.charge", "11");
    });
    ASSERT_TRUE(m_probe.waitForNote("notifyLowPowerShutdown", 2, 30000));

    const int shown = infoIndex("11");
    const int acted = infoIndex("11", shown + 1);
    ASSERT_GE(shown, 0);
    ASSERT_GT(acted, shown);
    EXPECT_GT(firstNoteIndex("notifyLowPowerTip"), acted);
    EXPECT_GT(firstNoteIndex("notifyLowPowerShutdown"), acted);
    EXPECT_EQ(m_probe.wakingUp, QList<bool>({true, false}));
    EXPECT_EQ(m_probe.stages, (QList<QPair<int, int>>{{1, 20}, {2, 5}}));
}

// NUT's server died while the PC slept: the minute asleep is no minute without a reading.
TEST_F(NutWakeUpTest, TimeAsleepDoesNotCountAsALostLink)
{
    ASSERT_TRUE(m_nut.setVariables(
        NutInstallation::station({{"ups.status", "OB"}, {"battery.charge", "50"}})));
    startSleepingMonitor();
    ASSERT_TRUE(m_probe.waitForStep("50", "OB")) << m_nut.log();
    sleep([this] { m_nut.killServer(); });
    ASSERT_TRUE(QTest::qWaitFor([this] { return m_probe.disconnected == 1; }, 20000));
    QTest::qWait(5000);
    for (const auto &note : m_probe.notes("notifyUpsLinkLost"))
        EXPECT_LT(note.params.toObject().value("seconds").toInt(), 60);
}

} // namespace
