#include "compositebussiness.h"
#include "tqattrtable.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

QByteArray intValue(int32_t v)
{
    return encodeAttrInt32(v);
}

QByteArray floatValue(float v)
{
    return encodeAttrFloat(v);
}

QJsonArray numbers(std::initializer_list<int> values)
{
    QJsonArray array;
    for (int v : values)
        array.append(v);
    return array;
}

TEST(StationValues, RoundHalfAwayFromZero)
{
    const std::pair<double, int> cases[] = {{12.5, 13},
                                            {-12.5, -13},
                                            {12.49, 12},
                                            {-0.4, 0},
                                            {0.0, 0},
                                            {0.5, 1},
                                            {-0.5, -1},
                                            {std::nan(""), 0},
                                            {1e12, std::numeric_limits<int>::max()},
                                            {-1e12, std::numeric_limits<int>::min()},
                                            {-2147483648.0, std::numeric_limits<int>::min()},
                                            {2147483647.4, std::numeric_limits<int>::max()},
                                            {HUGE_VAL, std::numeric_limits<int>::max()},
                                            {-HUGE_VAL, std::numeric_limits<int>::min()}};
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(roundHalfAwayFromZero(value), expected) << value;
}

TEST(StationValues, TemperatureTakesTheUpperByteFrom25On)
{
    const std::pair<int32_t, int> cases[] = {
        {0x1A14, 26}, {0x0A14, 20}, {0x1914, 25}, {0x1814, 20}, {0x001E, 30}};
    for (const auto &[raw, expected] : cases)
        EXPECT_EQ(stationTemperature(raw), expected) << std::hex << raw;
}

TEST(StationValues, BatteryTimeAndFirmwareText)
{
    EXPECT_EQ(batteryTimeObject(1530), (QJsonObject{{"days", 1}, {"hours", 1}, {"minutes", 30}}));
    EXPECT_EQ(batteryTimeObject(0), (QJsonObject{{"days", 0}, {"hours", 0}, {"minutes", 0}}));
    EXPECT_EQ(firmwareVersionText(QByteArray::fromHex("04030201")), "1.2.3.4");
    EXPECT_EQ(firmwareVersionText(QByteArray::fromHex("ff000a00")), "0.10.0.255");
    EXPECT_EQ(firmwareVersionText(QByteArray::fromHex("040302")), std::nullopt);
    EXPECT_EQ(attrNumber(TQAttrId::OutputRealpower, QByteArray(3, '\0')), std::nullopt);
}

TEST(StationValues, SystemInfoByOperatingSystemFamily)
{
    EXPECT_EQ(systemInfoFor("windows", "winnt"),
              (QJsonObject{{"cpu", "amd64"}, {"os", 0}, {"version", "1.0.0.14"}}));
    EXPECT_EQ(systemInfoFor("debian", "linux"),
              (QJsonObject{{"cpu", ""}, {"os", 1}, {"version", "1.0.0.14"}}));
    EXPECT_EQ(systemInfoFor("macos", "darwin"),
              (QJsonObject{{"cpu", ""}, {"os", 2}, {"version", "1.0.0.14"}}));
    EXPECT_EQ(systemInfoFor("freebsd", "freebsd"), QJsonObject());
}

TEST(HomePage, TemperaturesAndPower)
{
    using namespace TQAttrId;
    EXPECT_EQ(homePageUpdate({{BatteryTemperature, intValue(0x1A14)}}, true).info,
              (QJsonObject{{"battery.temperature", 26}}));
    EXPECT_EQ(homePageUpdate({{BatteryTemperature, intValue(0x0A14)}}, true).info,
              (QJsonObject{{"battery.temperature", 20}}));
    EXPECT_EQ(homePageUpdate({{OutputRealpower, floatValue(-12.5f)},
                              {InputRealpower, floatValue(100.4f)},
                              {BatteryTemperature, QByteArray(2, '\x1a')}},
                             true)
                  .info,
              (QJsonObject{{"output.realpower", -13}, {"input.realpower", 100}}));
    EXPECT_EQ(homePageUpdate({}, false).info, QJsonObject());
}

TEST(HomePage, PowerPackTemperatureOnlyWhenThePackIsPresent)
{
    using namespace TQAttrId;
    const QString ext1 = "battery.ext1.temperature";
    EXPECT_FALSE(homePageUpdate({{Ext1Temperature, intValue(30)}}, true).info.contains(ext1));
    EXPECT_FALSE(
        homePageUpdate({{Ext1Temperature, intValue(30)}, {BatteryDeviceStatus, intValue(2)}}, true)
            .info.contains(ext1));
    EXPECT_EQ(
        homePageUpdate({{Ext1Temperature, intValue(30)}, {BatteryDeviceStatus, intValue(3)}}, true)
            .info.value(ext1),
        30);
}

TEST(HomePage, BatteryTimeOnlyWhileNotOnBattery)
{
    const AttrParaMap map{{TQAttrId::ChargingRemainingTime, intValue(1530)}};
    EXPECT_FALSE(homePageUpdate(map, true).batteryTime);
    const HomePageUpdate update = homePageUpdate(map, false);
    ASSERT_TRUE(update.batteryTime);
    EXPECT_EQ(*update.batteryTime, batteryTimeObject(1530));
    EXPECT_TRUE(update.info.isEmpty());
}

TEST(DeviceDetail, HistoryKeepsTheLast20AndShowsItOnceWhenAsked)
{
    PowerHistory history;
    for (int i = 1; i <= 25; ++i)
        EXPECT_FALSE(deviceDetailUpdate({{TQAttrId::InputRealpower, floatValue(float(i))}}, history,
                                        false, false));
    const auto full =
        deviceDetailUpdate({{TQAttrId::InputRealpower, floatValue(26.f)}}, history, true, true);
    ASSERT_TRUE(full);
    QJsonArray expected;
    for (int i = 7; i <= 26; ++i)
        expected.append(i);
    EXPECT_EQ(full->value("input").toObject().value("input.realpower").toArray(), expected);
    EXPECT_EQ(full->value("output").toObject(), QJsonObject());

    const auto next = deviceDetailUpdate({{TQAttrId::InputRealpower, floatValue(27.f)},
                                          {TQAttrId::InputAcRealpower, floatValue(5.5f)}},
                                         history, true, false);
    EXPECT_EQ(next->value("input").toObject(),
              (QJsonObject{{"input.realpower", numbers({27})}, {"input.ac.realpower", 6}}));
}

TEST(DeviceDetail, OutputIsShownAsMagnitudeButKeptSignedWhileHidden)
{
    const AttrParaMap negative{{TQAttrId::OutputRealpower, floatValue(-12.5f)},
                               {TQAttrId::OutputUsbCRealpower, floatValue(-3.f)}};
    PowerHistory history;
    deviceDetailUpdate(negative, history, false, false);
    EXPECT_EQ(history.output, QList<int>{-13});

    const auto shown = deviceDetailUpdate(negative, history, true, true);
    EXPECT_EQ(history.output, (QList<int>{-13, 13}));
    EXPECT_EQ(
        shown->value("output").toObject(),
        (QJsonObject{{"output.realpower", numbers({-13, 13})}, {"output.usb.c.realpower", 3}}));
}

// A station that sends the most negative readings, infinities or NaN still gives plain numbers:
// the magnitude of the smallest int is the largest one.
TEST(DeviceDetail, HostileOutputReadingsGiveBoundedMagnitudes)
{
    constexpr int most = std::numeric_limits<int>::max();
    const std::pair<float, int> cases[] = {{-std::numeric_limits<float>::infinity(), most},
                                           {std::numeric_limits<float>::infinity(), most},
                                           {-2147483648.f, most},
                                           {-3e9f, most},
                                           {std::nanf(""), 0}};
    for (const auto &[reading, expected] : cases) {
        PowerHistory history;
        const auto shown = deviceDetailUpdate({{TQAttrId::OutputRealpower, floatValue(reading)}},
                                              history, true, false);
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->value("output").toObject().value("output.realpower").toArray(),
                  numbers({expected}))
            << reading;
    }
}

// The page flags of the device logic, fed with attribute maps as the link delivers them.
class PageFlags : public testing::Test
{
protected:
    QList<QPair<QString, QJsonValue>> sent;
    CompositeBussiness device{[this](const QString &ns, const QString &name, const QJsonValue &v) {
                                  sent.append({ns + "." + name, v});
                              },
                              [](const QString &) { return nullptr; }};

    QList<QPair<QString, QJsonValue>> take()
    {
        auto result = sent;
        sent.clear();
        return result;
    }
    void poll(int input)
    {
        device.onAllAttrPara({{TQAttrId::InputRealpower, floatValue(float(input))},
                              {TQAttrId::ChargingRemainingTime, intValue(61)}});
    }
};

TEST_F(PageFlags, HomePageOnAndOffAndBatteryTimeAfterTheFirstReport)
{
    poll(1);
    EXPECT_TRUE(take().isEmpty());

    EXPECT_TRUE(device.setNotifyPage("homePage", true));
    poll(2);
    // On battery until NUT says otherwise: no battery time yet.
    EXPECT_EQ(take(), (QList<QPair<QString, QJsonValue>>{{"homePage.notifyCompositeDeviceInfo",
                                                          QJsonObject{{"input.realpower", 2}}}}));

    device.onIsOnBattery(false);
    poll(3);
    EXPECT_EQ(take(),
              (QList<QPair<QString, QJsonValue>>{
                  {"homePage.notifyBatteryTime", batteryTimeObject(61)},
                  {"homePage.notifyCompositeDeviceInfo", QJsonObject{{"input.realpower", 3}}}}));

    EXPECT_FALSE(device.setNotifyPage("settings", false));
    poll(4);
    EXPECT_EQ(take().size(), 2);
    EXPECT_TRUE(device.setNotifyPage("homePage", false));
    poll(5);
    EXPECT_TRUE(take().isEmpty());
}

TEST_F(PageFlags, FullHistoryOnceAfterEnablingNotOnARepeatedEnable)
{
    poll(1);
    poll(2);
    EXPECT_TRUE(device.setNotifyPage("deviceDetail", true));
    poll(3);
    EXPECT_EQ(take().value(0).second.toObject().value("input").toObject().value("input.realpower"),
              QJsonValue(numbers({1, 2, 3})));
    EXPECT_TRUE(device.setNotifyPage("deviceDetail", true));
    poll(4);
    EXPECT_EQ(take().value(0).second.toObject().value("input").toObject().value("input.realpower"),
              QJsonValue(numbers({4})));

    // A disconnect clears the page flags and the histories.
    device.onDevDisconnected();
    poll(5);
    EXPECT_TRUE(take().isEmpty());
    EXPECT_TRUE(device.setNotifyPage("deviceDetail", true));
    poll(6);
    EXPECT_EQ(take().value(0).second.toObject().value("input").toObject().value("input.realpower"),
              QJsonValue(numbers({5, 6})));
}

TEST_F(PageFlags, WithoutALinkSelfTestAnswers4AndThereIsNoLastSelfTest)
{
    QJsonValue result;
    device.selfTest([&](const QJsonValue &v) { result = v; });
    EXPECT_EQ(result, QJsonValue(4));
    EXPECT_EQ(device.getLastSelfTestTime(), QJsonObject());
}

} // namespace
