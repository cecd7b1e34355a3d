// The whole back end in local mode (the service, the monitor, real NUT, the station simulator on
// both sides) at low battery, with the test's shutdown runner: the back end switches the PC off
// by itself when no page does, once, and not when the mains return or the user cancelled.

#include "pageclient.h"
#include "stationbackend.h"

#include <QJsonArray>
#include <QMutex>
#include <QMutexLocker>

#include <gtest/gtest.h>

namespace {

// A station at 15 % with its low level at 20 %, on battery from the start: the tip and both
// shutdown stages come with the first reading.
class StationRunningOut : public StationBackend
{
protected:
    QJsonObject scenario() const override
    {
        QJsonObject station = testStation();
        station.insert("charge", 15);
        station.insert("duration", 3600);
        station.insert("onBattery", QJsonArray{QJsonArray{0, 3600}});
        return station;
    }

    void configure(AmperlaneSettings &settings) override
    {
        settings.setValue("batterySetting", "enableLowPowerShutdown", true);
    }

    void SetUp() override
    {
        StationBackend::SetUp();
        if (HasFatalFailure())
            return;
        // Tip, stage one, stage two: the window is raised three times.
        QObject::connect(service.get(), &AmperlaneJrpcService::sigShowWindowOnTop, [this] {
            QMutexLocker lock(&eventMutex);
            raisedAt.push_back(sinceStart());
        });
        QObject::connect(service.get(), &AmperlaneJrpcService::sigShutdownResult,
                         [this](bool ok, const QString &reason) {
                             QMutexLocker lock(&eventMutex);
                             results.push_back({ok, reason});
                         });
    }

    // When the last stage was sent, in ms since the start; -1 before.
    qint64 stageTwoAt()
    {
        QMutexLocker lock(&eventMutex);
        return raisedAt.size() >= 3 ? raisedAt[2] : -1;
    }

    // The station's mains come back: the simulator plays it on mains from now on.
    void mainsReturn()
    {
        QJsonObject onMains = testStation();
        onMains.insert("charge", 15);
        sim = std::make_unique<StationSim>(onMains, stateDir + "/nutdev1.dev");
    }

    // Waits long past the deadline (stage two's 5 s plus 15 s).
    void waitPastTheDeadline()
    {
        waitUntil([] { return false; }, 30000);
    }

    QMutex eventMutex;
    std::vector<qint64> raisedAt;
    std::vector<std::pair<bool, QString>> results;
};

TEST_F(StationRunningOut, WithNoPageTheLastStageLeadsToExactlyOneShutdown)
{
    ASSERT_TRUE(waitUntil([&] { return !shutdownTimes().empty(); }, 90000));
    const qint64 stageTwo = stageTwoAt();
    ASSERT_GE(stageTwo, 0);
    EXPECT_GE(shutdownTimes()[0] - stageTwo, 20000 - 1000);
    EXPECT_LE(shutdownTimes()[0] - stageTwo, 20000 + 5000);
    waitUntil([] { return false; }, 10000);
    EXPECT_EQ(shutdownTimes().size(), 1u);
    QMutexLocker lock(&eventMutex);
    EXPECT_EQ(results, (std::vector<std::pair<bool, QString>>{
                           {true, "started by the low-battery deadline"}}));
}

TEST_F(StationRunningOut, NoShutdownWhenTheMainsReturnBeforeTheDeadline)
{
    PageClient page(server.serverPort());
    ASSERT_TRUE(page.call("global.enableNotify", QJsonObject{{"pageName", "homePage"}}));
    ASSERT_TRUE(waitUntil([&] { return stageTwoAt() >= 0; }, 90000));
    mainsReturn();
    ASSERT_TRUE(waitUntil(
        [&] {
            const auto infos = page.notifications("homePage.notifyUPSDeviceInfo");
            return !infos.isEmpty() && !infos.last().toObject().value("ups.status").toBool();
        },
        15000));
    ASSERT_LT(sinceStart() - stageTwoAt(), 20000) << "the mains came back too late to tell";
    waitPastTheDeadline();
    EXPECT_TRUE(shutdownTimes().empty());
}

TEST_F(StationRunningOut, NoShutdownAfterTheUserCancelledTheCountdown)
{
    PageClient page(server.serverPort());
    ASSERT_TRUE(page.nextNotification("global.notifyLowPowerShutdown", 1, 90000));
    EXPECT_EQ(page.notifications("global.notifyLowPowerShutdown")[1].toObject().value("status"),
              "shutdown");
    EXPECT_EQ(page.call("global.cancelLowPowerShutdown"), QJsonValue(true));
    waitPastTheDeadline();
    EXPECT_TRUE(shutdownTimes().empty());
    EXPECT_TRUE(page.notifications("global.notifyShutdownResult").isEmpty());
}

// A station whose NUT driver reports no battery.charge.low: its own lower limit, read over the
// serial link, stands in (the user's default of 10 until the link has it).
class StationWithoutNutLowLevel : public StationBackend
{
protected:
    QJsonObject scenario() const override
    {
        QJsonObject station = testStation();
        station.insert("chargeLow", 25);
        station.insert("nutOmit", QJsonArray{"battery.charge.low"});
        station.insert("charge", 28);
        station.insert("duration", 3600);
        station.insert("onBattery", QJsonArray{QJsonArray{0, 3600}});
        return station;
    }
};

TEST_F(StationWithoutNutLowLevel, TheStationsLowerLimitStandsIn)
{
    PageClient page(server.serverPort());
    const auto tip = page.nextNotification("global.notifyLowPowerTip", 0, 90000);
    ASSERT_TRUE(tip);
    EXPECT_EQ(*tip, QJsonValue(QJsonObject{{"tipLimitValue", 30}, {"batteryLowLimitValue", 25}}));
    EXPECT_EQ(page.call("batterySetting.getBatteryChargeLow"), QJsonValue(25));
    EXPECT_EQ(page.notifications("global.notifyBatteryChargeLow").last(), QJsonValue(25));
}

} // namespace
