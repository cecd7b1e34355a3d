#include "pageclient.h"
#include "stationbackend.h"

#include <QJsonArray>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

using StationEndToEnd = StationBackend;

TEST_F(StationEndToEnd, ThePageSeesTheStationAndRunsASelfTest)
{
    PageClient page(server.serverPort());
    ASSERT_TRUE(page.isConnected());
    EXPECT_EQ(page.call("global.websocketConnected"), QJsonValue(true));
    EXPECT_EQ(page.call("global.enableNotify", QJsonObject{{"pageName", "homePage"}}),
              QJsonValue(true));
    EXPECT_EQ(page.call("global.enableNotify", QJsonObject{{"pageName", "deviceDetail"}}),
              QJsonValue(true));

    const auto status = page.nextNotification("global.notifyDevConnectStatus", 0, 60000);
    ASSERT_TRUE(status);
    EXPECT_EQ(*status, QJsonValue(QJsonObject{{"mode", "local"}, {"status", "connectDev"}}));
    EXPECT_TRUE(deviceDetailPage);

    const auto info = page.nextNotification("homePage.notifyUPSDeviceInfo", 0, 10000);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->toObject().value("ups.devName"), "VESSA 5 Core-0001");
    EXPECT_EQ(info->toObject().value("battery.charge"), "80");

    // The serial link follows the NUT identification; both report every second from then on.
    const auto composite = page.nextNotification("homePage.notifyCompositeDeviceInfo", 0, 15000);
    ASSERT_TRUE(composite);
    EXPECT_EQ(composite->toObject().value("battery.temperature"), 27);
    ASSERT_TRUE(page.nextNotification("deviceDetail.notifyInfo", 0, 5000));
    const int composites = page.notifications("homePage.notifyCompositeDeviceInfo").size();
    const int infos = page.notifications("homePage.notifyUPSDeviceInfo").size();
    ASSERT_TRUE(page.nextNotification("homePage.notifyCompositeDeviceInfo", composites + 1, 5000));
    ASSERT_TRUE(page.nextNotification("homePage.notifyUPSDeviceInfo", infos + 1, 5000));
    // While charging NUT sends no battery time; the station's own remaining time goes out once
    // NUT has reported the charging status.
    EXPECT_TRUE(waitUntil([&] {
        return page.notifications("homePage.notifyBatteryTime")
            .contains(QJsonObject{{"days", 1}, {"hours", 1}, {"minutes", 30}});
    }));

    EXPECT_EQ(page.call("global.getDeviceSn"), QJsonValue("SN-TEST-0001"));
    EXPECT_EQ(page.call("batterySetting.getBatteryChargeLow"), QJsonValue(20));
    EXPECT_EQ(
        page.call("homePage.getModeAndFirmwareVersion"),
        QJsonValue(QJsonObject{{"mode", "TQ-UPS-VESSA 5 Core"}, {"firmwareVersion", "1.2.3.4"}}));

    EXPECT_EQ(page.call("homePage.getLastSelfTestTime"), QJsonValue(QJsonObject()));
    EXPECT_EQ(page.call("homePage.selfTest", QJsonValue::Undefined, 15000), QJsonValue(3));
    const auto last = page.call("homePage.getLastSelfTestTime");
    ASSERT_TRUE(last);
    EXPECT_EQ(last->toObject().value("res"), QJsonValue(true));
    EXPECT_EQ(page.call("homePage.getLast100TurnOffChargeTime"), QJsonValue(QJsonArray()));
}

// A station at 24 % with its low level at 20 %, inside the tip margin (5) and the shutdown margin
// (4); the mains fails 25 s after the start, once NUT has seen it on mains.
class StationOnBattery : public StationBackend
{
protected:
    QJsonObject scenario() const override
    {
        QJsonObject station = testStation();
        station.insert("charge", 24);
        station.insert("duration", 3600);
        station.insert("onBattery", QJsonArray{QJsonArray{25, 3600}});
        return station;
    }

    static QJsonObject battery(int tip, int shutdown)
    {
        return {{"lowPowerTipValue", tip},
                {"lowPowerShutdownValue", shutdown},
                {"enableLowPowerShutdown", true},
                {"enableRemoteLowPowerShutdown", false}};
    }
};

TEST_F(StationOnBattery, MainsFailureIsRecordedAndChangedMarginsRearmTheirWarnings)
{
    QSignalSpy raised(service.get(), &AmperlaneJrpcService::sigShowWindowOnTop);
    PageClient page(server.serverPort());
    ASSERT_TRUE(page.isConnected());
    const QString tip = "global.notifyLowPowerTip";
    const QString shutdown = "global.notifyLowPowerShutdown";

    const auto failure = page.nextNotification("homePage.notifyLastTurnOffChargeTime", 0, 60000);
    ASSERT_TRUE(failure);
    EXPECT_EQ(page.call("homePage.getLast100TurnOffChargeTime"),
              QJsonValue(QJsonArray{failure->toObject().value("time")}));

    const auto firstTip = page.nextNotification(tip, 0, 5000);
    ASSERT_TRUE(firstTip);
    EXPECT_EQ(*firstTip,
              QJsonValue(QJsonObject{{"tipLimitValue", 25}, {"batteryLowLimitValue", 20}}));
    EXPECT_EQ(page.call("global.getLowPowerTip"), *firstTip);
    EXPECT_GE(raised.count(), 1);

    // Same margins: nothing is re-armed; the shutdown stage comes because it was never sent.
    EXPECT_EQ(page.call("batterySetting.setSettingParam", battery(5, 4)), QJsonValue(true));
    const auto stageOne = page.nextNotification(shutdown, 0, 5000);
    ASSERT_TRUE(stageOne);
    EXPECT_EQ(stageOne->toObject().value("status"), "lowPowerShutdown");
    waitUntil([] { return false; }, 2500);
    EXPECT_EQ(page.notifications(tip).size(), 1);
    EXPECT_EQ(page.notifications(shutdown).size(), 1);

    EXPECT_EQ(page.call("batterySetting.setSettingParam", battery(6, 4)), QJsonValue(true));
    const auto secondTip = page.nextNotification(tip, 1, 5000);
    ASSERT_TRUE(secondTip);
    EXPECT_EQ(secondTip->toObject().value("tipLimitValue"), 26);
    waitUntil([] { return false; }, 1500);
    EXPECT_EQ(page.notifications(shutdown).size(), 1);

    EXPECT_EQ(page.call("batterySetting.setSettingParam", battery(6, 5)), QJsonValue(true));
    ASSERT_TRUE(page.nextNotification(shutdown, 1, 5000));
    waitUntil([] { return false; }, 1500);
    EXPECT_EQ(page.notifications(tip).size(), 2);
}

} // namespace
