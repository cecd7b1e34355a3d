#include "lowpowerpolicy.h"

#include <QJsonDocument>
#include <gtest/gtest.h>

#include <climits>

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

struct ThresholdCase
{
    const char *name;
    int charge;
    int low;
    LowPowerSettings settings;
    bool tip, stageOne, stageTwo, remote;
};

LowPowerSettings localOn()
{
    LowPowerSettings s;
    s.enableLowPowerShutdown = true;
    return s;
}

LowPowerSettings remoteOn(int shutdownMargin = 4)
{
    LowPowerSettings s;
    s.mode = "remote";
    s.shutdownMargin = shutdownMargin;
    s.enableRemoteLowPowerShutdown = true;
    return s;
}

LowPowerSettings withMode(LowPowerSettings s, const char *mode)
{
    s.mode = mode;
    return s;
}

class LowPowerThresholds : public ::testing::TestWithParam<ThresholdCase>
{
};

TEST_P(LowPowerThresholds, AreInclusiveAboveTheUpsLowLevel)
{
    const ThresholdCase &c = GetParam();
    EXPECT_EQ(lowPowerTipDue(c.charge, c.low, c.settings.tipMargin), c.tip);
    const LowPowerShutdownDue due = lowPowerShutdownDue(c.charge, c.low, c.settings);
    EXPECT_EQ(due.stageOne, c.stageOne);
    EXPECT_EQ(due.stageTwo, c.stageTwo);
    EXPECT_EQ(due.remoteWarning, c.remote);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LowPowerThresholds,
    ::testing::Values(
        ThresholdCase{"Above", 16, 10, localOn(), false, false, false, false},
        ThresholdCase{"Tip", 15, 10, localOn(), true, false, false, false},
        ThresholdCase{"StageOne", 14, 10, localOn(), true, true, false, false},
        ThresholdCase{"StageTwo", 11, 10, localOn(), true, true, true, false},
        ThresholdCase{"LocalSwitchOff", 9, 10, LowPowerSettings{}, true, false, false, false},
        ThresholdCase{"RemoteFixedMargin", 15, 10, remoteOn(10), true, false, false, false},
        ThresholdCase{"RemoteWarning", 14, 10, remoteOn(10), true, false, false, true},
        ThresholdCase{"RemoteSwitchOnlyForRemote", 9, 10, withMode(remoteOn(), "local"), true,
                      false, false, false},
        ThresholdCase{"UnknownModeWarnsNothing", 1, 10, withMode(localOn(), "Local"), true, false,
                      false, false},
        ThresholdCase{"NoOverflow", 5, INT_MAX, localOn(), true, true, true, false}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(LowPowerPayloads, CarryTheUpsLowLevel)
{
    EXPECT_EQ(lowPowerTipPayload(10, 5),
              json(R"({"tipLimitValue": 15, "batteryLowLimitValue": 10})"));
    EXPECT_EQ(lowPowerShutdownStageOnePayload("local", 10),
              json(R"({"status": "lowPowerShutdown", "mode": "local", "interval": 20,
                       "lowPowerShutdownValue": 10})"));
    EXPECT_EQ(lowPowerShutdownStageTwoPayload("local"),
              json(R"({"status": "shutdown", "mode": "local", "interval": 5})"));
    EXPECT_EQ(remoteLowPowerShutdownPayload("remote", 10),
              json(R"({"status": "lowPowerShutdown", "mode": "remote",
                       "lowPowerShutdownValue": 10})"));
}

TEST(EffectiveChargeLow, TheUpsFirstThenTheStationThenTheSetting)
{
    const auto low = [](std::optional<int> ups, std::optional<int> station) {
        const ChargeLow chosen = effectiveChargeLow(ups, station, 10);
        return std::make_pair(chosen.value, chosen.source);
    };
    EXPECT_EQ(low(20, 25), std::make_pair(20, ChargeLowSource::Ups));
    EXPECT_EQ(low(0, 25), std::make_pair(0, ChargeLowSource::Ups));
    EXPECT_EQ(low(std::nullopt, 25), std::make_pair(25, ChargeLowSource::Station));
    EXPECT_EQ(low(std::nullopt, std::nullopt), std::make_pair(10, ChargeLowSource::Setting));
}

TEST(ChargeReading, ZeroIsRealOnlyAfterAReadingAtOrBelowTheTipLevel)
{
    const struct
    {
        int charge;
        std::optional<int> previous;
        bool real;
    } cases[] = {{1, std::nullopt, true}, {0, std::nullopt, false},
                 {0, 50, false},          {0, 16, false},
                 {0, 15, true},           {0, 3, true}};
    for (const auto &c : cases)
        EXPECT_EQ(chargeReadingIsReal(c.charge, c.previous, 15), c.real)
            << c.charge << " after " << c.previous.value_or(-1);
}

} // namespace
