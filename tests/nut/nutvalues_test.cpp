// The monitor on real NUT (upsd + dummy-ups) with the values real drivers report: decimal
// percentages, no battery.charge.low, a charge of 0 for a moment, a value that is no number.

#include "localmonitortest.h"
#include "logcapture.h"

#include <QJsonDocument>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QJsonObject json(const char *text)
{
    return QJsonDocument::fromJson(text).object();
}

struct ValueStep
{
    const char *status;
    const char *charge;
    QStringList warnings; // tip and shutdown notifications sent so far
};

struct ValueCase
{
    const char *name;
    QJsonObject station;  // changes to the station's variables, kept in every step
    QStringList omitted;  // variables the driver does not report at all
    int defaultChargeLow; // the user's default low level
    std::vector<ValueStep> steps;
    int chargeLow; // the low level the warnings used
};

void PrintTo(const ValueCase &c, std::ostream *os)
{
    *os << c.name;
}

class NutValuesTest : public LocalMonitorTest
{
protected:
    QJsonObject variables(const ValueCase &c, const char *status, const char *charge) const
    {
        QJsonObject changes = c.station;
        changes.insert("ups.status", status);
        changes.insert("battery.charge", charge);
        QJsonObject all = NutInstallation::station(changes);
        for (const QString &name : c.omitted)
            all.remove(name);
        return all;
    }

    QStringList warnings() const
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

    void step(const QJsonObject &station, const char *status, const char *charge)
    {
        ASSERT_TRUE(m_nut.setVariables(station));
        ASSERT_TRUE(m_probe.waitForStep(charge, status)) << status << " " << charge << "\n"
                                                         << m_nut.log();
    }
};

class NutValueCases : public NutValuesTest, public ::testing::WithParamInterface<ValueCase>
{
};

TEST_P(NutValueCases, WarnAtTheRightReadings)
{
    const ValueCase &c = GetParam();
    m_settings->setValue("batterySetting", "enableLowPowerShutdown", true);
    m_settings->setValue("batterySetting", "defaultChargeLow", c.defaultChargeLow);
    ASSERT_TRUE(m_nut.setVariables(variables(c, "OL", "100")));
    startMonitor();
    for (const ValueStep &s : c.steps) {
        step(variables(c, s.status, s.charge), s.status, s.charge);
        EXPECT_EQ(warnings(), s.warnings) << s.status << " " << s.charge;
    }
    EXPECT_EQ(m_probe.notes("notifyBatteryChargeLow").last().params, QJsonValue(c.chargeLow));
    EXPECT_EQ(m_monitor->batteryChargeLow(), c.chargeLow);
    EXPECT_EQ(m_monitor->lastLowPowerTip().value("batteryLowLimitValue"), QJsonValue(c.chargeLow));
}

const QStringList kNone;
const QStringList kTip{"tip"};
const QStringList kStageOne{"tip", "lowPowerShutdown"};
const QStringList kStageTwo{"tip", "lowPowerShutdown", "shutdown"};

INSTANTIATE_TEST_SUITE_P(Cases, NutValueCases,
                         ::testing::Values(
                             // Whole percent, rounded down; the page still shows what the UPS says.
                             ValueCase{"Decimals",
                                       {{"battery.charge.low", "10.0"}},
                                       {},
                                       10,
                                       {{"OB", "16.9", kNone},
                                        {"OB", "15.5", kTip},
                                        {"OB", "14.2", kStageOne},
                                        {"OB", "11.99", kStageTwo}},
                                       10},
                             ValueCase{"NoLowLevelUsesTheDefault",
                                       {},
                                       {"battery.charge.low"},
                                       20,
                                       {{"OB", "26", kNone},
                                        {"OB", "25", kTip},
                                        {"OB", "24", kStageOne},
                                        {"OB", "21", kStageTwo}},
                                       20},
                             ValueCase{"LowLevelThatIsNoNumberUsesTheDefault",
                                       {{"battery.charge.low", "n/a"}},
                                       {},
                                       10,
                                       {{"OB", "16", kNone}, {"OB", "11", kStageTwo}},
                                       10},
                             // A 0 right after a reading well above the tip level is a glitch;
                             // after one at or below it, the station is running out.
                             ValueCase{"ZeroIsRealOnlyAfterALowReading",
                                       {},
                                       {},
                                       10,
                                       {{"OB", "50", kNone},
                                        {"OB", "0", kNone},
                                        {"OB", "14", kStageOne},
                                        {"OB", "0", kStageTwo}},
                                       10}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(NutValuesTest, AValueThatCannotBeReadIsLoggedOnceWhenItComesAndOnceWhenItGoes)
{
    LogCapture log;
    const auto station = [](const char *low) {
        return NutInstallation::station({{"battery.charge.low", low}});
    };
    ASSERT_TRUE(m_nut.setVariables(station("n/a")));
    startMonitor();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(m_probe.waitForStep("100", "OL")) << m_nut.log();
    step(station("12.5"), "OL", "100");
    ASSERT_TRUE(m_probe.waitForStep("100", "OL"));

    const auto count = [&](const char *text) {
        return int(log.messages().filter(text).filter("battery.charge.low").size());
    };
    EXPECT_EQ(count("cannot be read as a percentage"), 1);
    EXPECT_EQ(count("can be read again"), 1);
    QList<QJsonValue> lows;
    for (const auto &note : m_probe.notes("notifyBatteryChargeLow"))
        lows.append(note.params);
    EXPECT_EQ(lows, QList<QJsonValue>({10, 12}));
    EXPECT_EQ(m_probe.notes("notifyUPSDeviceInfo").last().params.toObject(),
              json(R"({"ups.status": false, "ups.chargeStatus": false, "battery.charge": "100",
                       "ups.devName": "VESSA 5 Core-1234", "ups.realpower.nominal": "1024Wh"})"));
}

} // namespace
