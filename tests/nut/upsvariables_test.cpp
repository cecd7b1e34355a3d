#include "upsvariables.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

struct ParseCase
{
    const char *name;
    const char *output;
    const char *expected;
};

class ParseUpsVariables : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseUpsVariables, KeepsTwoPartLinesOnlyWhenThereIsUpsData)
{
    EXPECT_EQ(parseUpsVariables(GetParam().output), json(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseUpsVariables,
    ::testing::Values(
        ParseCase{"ChargeAlone", "battery.charge: 87\n", R"({"battery.charge": "87"})"},
        ParseCase{"ErrorLineIsNoUps", "Error: Driver not connected\n", "{}"},
        ParseCase{"NothingAtAll", "", "{}"},
        ParseCase{"ValueWithColonDropped", "ups.status: OL\nups.time: 12:30:01\n",
                  R"({"ups.status": "OL"})"},
        ParseCase{"OtherLinesKeptBesideUpsData",
                  "driver.name: dummy-ups\r\n\n  device.type :  ups \r\nno colon here\n",
                  R"({"driver.name": "dummy-ups", "device.type": "ups"})"},
        ParseCase{"LaterLineWins", "ups.status: OL\nups.status: OB\n", R"({"ups.status": "OB"})"},
        ParseCase{"UpsPrefixIsCaseSensitive", "UPS.status: OL\nbattery.charge.low: 10\n", "{}"},
        ParseCase{"EmptyValueKept", "ups.serial:\n", R"({"ups.serial": ""})"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(UpsDeviceInfo, StripsModelPrefixAndKeepsLastFourOfSerial)
{
    const QJsonObject variables = json(R"({"ups.model": "TQ-UPS-VESSA 5 Core",
        "ups.serial": "SN00001234", "ups.status": "OL CHRG", "battery.charge": "87",
        "ups.realpower.nominal": "1024"})");
    EXPECT_EQ(upsDeviceInfo(variables), json(R"({"ups.status": false, "ups.chargeStatus": true,
        "battery.charge": "87", "ups.devName": "VESSA 5 Core-1234",
        "ups.realpower.nominal": "1024Wh"})"));
}

TEST(UpsDeviceInfo, ShortSerialAndUnprefixedModelStayWhole)
{
    const QJsonObject info = upsDeviceInfo(
        json(R"({"ups.model": "Other TQ-UPS-X", "ups.serial": "12", "ups.status": "OB LB"})"));
    EXPECT_EQ(info.value("ups.devName").toString(), "Other TQ-UPS-X-12");
    EXPECT_TRUE(info.value("ups.status").toBool());
    EXPECT_EQ(info.value("ups.realpower.nominal").toString(), "Wh");
}

TEST(BatteryTime, SplitsMinutesIntoDaysHoursMinutes)
{
    struct Case
    {
        QString runtime;
        int days, hours, minutes;
    } cases[] = {{"1505", 1, 1, 5}, {"59", 0, 0, 59},  {"1440", 1, 0, 0},
                 {"", 0, 0, 0},     {"12.5", 0, 0, 0}, {"abc", 0, 0, 0}};
    for (const Case &c : cases) {
        const QJsonObject time = batteryTimeFromRuntime(c.runtime);
        EXPECT_EQ(time.value("days").toInt(-1), c.days) << c.runtime.toStdString();
        EXPECT_EQ(time.value("hours").toInt(-1), c.hours) << c.runtime.toStdString();
        EXPECT_EQ(time.value("minutes").toInt(-1), c.minutes) << c.runtime.toStdString();
    }
}

TEST(WholePercent, ReadsDecimalsRoundedDownAndRefusesWhatIsNoPercentage)
{
    const struct
    {
        const char *text;
        std::optional<int> percent;
    } cases[] = {{"87", 87},
                 {"14.5", 14},
                 {"100.0", 100},
                 {" 9.99 ", 9},
                 {"0", 0},
                 {"0.4", 0},
                 {"100.9", 100},
                 {"101", std::nullopt},
                 {"-1", std::nullopt},
                 {"", std::nullopt},
                 {"low", std::nullopt},
                 {"nan", std::nullopt},
                 {"inf", std::nullopt},
                 {"14,5", std::nullopt}};
    for (const auto &c : cases)
        EXPECT_EQ(wholePercent(c.text), c.percent) << c.text;
}

TEST(UpsStatus, RecognisesTheThreeTokens)
{
    EXPECT_TRUE(statusOnBattery("OB DISCHRG"));
    EXPECT_FALSE(statusOnline("OB DISCHRG"));
    EXPECT_TRUE(statusCharging("OL CHRG"));
    EXPECT_FALSE(statusCharging("OL"));
    EXPECT_FALSE(statusCharging("CHRG OL"));
    EXPECT_FALSE(statusOnBattery("LB") || statusOnline("LB"));
}

} // namespace
