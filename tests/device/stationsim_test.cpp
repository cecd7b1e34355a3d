#include "scenario.h"
#include "stationresponder.h"
#include "stationstate.h"
#include "tqattrvalue.h"
#include "tqcommands.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

QJsonArray points(std::initializer_list<std::pair<double, double>> list)
{
    QJsonArray array;
    for (const auto &[t, v] : list)
        array.append(QJsonArray{t, v});
    return array;
}

QJsonObject baseScenario()
{
    return QJsonObject{
        {"serial", "SN00001234"},
        {"model", "TQ-UPS-VESSA 5 Core"},
        {"mfr", "Maker"},
        {"realpowerNominal", 1024},
        {"firmware", "1.2.3.4"},
        {"chargeLow", 20},
        {"duration", 100},
        {"charge", points({{0, 100}, {10, 100}, {60, 30}, {100, 50}})},
        {"onBattery", points({{10, 60}})},
        {"attributes", QJsonObject{{"input.ac.realpower", 300},
                                   {"input.solar.realpower", 12.5},
                                   {"output.ac.realpower", points({{0, 100}, {100, 200}})},
                                   {"output.usb.c.realpower", 5},
                                   {"battery.temperature", 26}}},
        {"selfTest", QJsonObject{{"result", "fail"}, {"seconds", 5}}},
    };
}

Scenario parsed(const QJsonObject &json)
{
    QString error;
    const auto scenario = parseScenario(json, &error);
    EXPECT_TRUE(scenario.has_value()) << error.toStdString();
    return scenario.value_or(Scenario{});
}

TEST(Series, ConstantOrLinesBetweenPoints)
{
    const Series series(QList<QPair<double, double>>{{10, 100}, {0, 50}, {20, 0}});
    EXPECT_EQ(series.at(-5), 50);
    EXPECT_EQ(series.at(5), 75);
    EXPECT_EQ(series.at(10), 100);
    EXPECT_EQ(series.at(15), 50);
    EXPECT_EQ(series.at(99), 0);
    EXPECT_EQ(Series(7).at(1234), 7);
}

TEST(Scenario, RejectsWhatItCannotPlay)
{
    const QList<std::pair<const char *, QJsonValue>> broken = {
        {"serial", QJsonValue::Undefined},
        {"charge", "full"},
        {"charge", QJsonArray{QJsonArray{1}}},
        {"firmware", "1.2.3"},
        {"firmware", "1.2.3.256"},
        {"onBattery", QJsonArray{1, 2}},
        {"attributes", QJsonObject{{"no.such.attribute", 1}}},
        {"attributes", QJsonObject{{"device.serial", 1}}},
        {"attributes", QJsonObject{{"device.ems.version", 1}}},
        {"selfTest", QJsonObject{{"result", "maybe"}}},
        {"chargeLow", "20"},
        {"dropRepliesTo", 256},
        {"dropRepliesTo", "5"},
        {"nutOmit", "battery.charge.low"},
    };
    for (const auto &[key, value] : broken) {
        QJsonObject json = baseScenario();
        if (value.isUndefined())
            json.remove(key);
        else
            json.insert(key, value);
        QString error;
        EXPECT_FALSE(parseScenario(json, &error).has_value()) << key;
        EXPECT_FALSE(error.isEmpty()) << key;
    }
    QJsonObject looping = baseScenario();
    looping.remove("duration");
    looping.insert("loop", true);
    EXPECT_FALSE(parseScenario(looping, nullptr).has_value());
}

TEST(Scenario, TimeLoopsOrStopsAtTheEnd)
{
    Scenario scenario = parsed(baseScenario());
    EXPECT_EQ(scenarioTime(scenario, 250), 100);
    scenario.loop = true;
    EXPECT_EQ(scenarioTime(scenario, 250), 50);
}

TEST(Scenario, ShippedDemoLoads)
{
    QString error;
    const auto demo = loadScenario(QStringLiteral(DEMO_SCENARIO_PATH), &error);
    ASSERT_TRUE(demo.has_value()) << error.toStdString();
    // It runs on battery down towards its low level, then the mains returns.
    const StationState low = stationStateAt(*demo, 199);
    EXPECT_TRUE(low.onBattery);
    EXPECT_LT(low.charge, demo->chargeLow + 5);
    EXPECT_FALSE(stationStateAt(*demo, demo->duration).onBattery);
}

TEST(StationState, NutVariablesFollowMainsAndCharge)
{
    const Scenario scenario = parsed(baseScenario());
    struct Case
    {
        double t;
        const char *status;
        double charge;
    };
    for (const Case &c : {Case{5, "OL", 100}, Case{35, "OB", 65}, Case{80, "OL CHRG", 40}}) {
        const QJsonObject nut = nutVariables(scenario, stationStateAt(scenario, c.t));
        EXPECT_EQ(nut["ups.status"].toString(), c.status) << c.t;
        EXPECT_EQ(nut["battery.charge"].toDouble(), c.charge) << c.t;
    }
    const QJsonObject nut = nutVariables(scenario, stationStateAt(scenario, 35));
    EXPECT_EQ(nut["battery.charge.low"].toDouble(), 20);
    EXPECT_EQ(nut["battery.runtime"].toDouble(), 78); // 65 % of 120 minutes
    EXPECT_EQ(nut["ups.serial"].toString(), "SN00001234");
    EXPECT_EQ(nut["ups.model"].toString(), "TQ-UPS-VESSA 5 Core");
    EXPECT_EQ(nut["ups.mfr"].toString(), "Maker");
    EXPECT_EQ(nut["ups.realpower.nominal"].toDouble(), 1024);
}

TEST(StationState, NutLeavesOutWhatTheScenarioOmits)
{
    QJsonObject json = baseScenario();
    json.insert("nutOmit", QJsonArray{"battery.charge.low", "ups.mfr"});
    const Scenario scenario = parsed(json);
    const QJsonObject variables = nutVariables(scenario, stationStateAt(scenario, 0));
    EXPECT_FALSE(variables.contains("battery.charge.low"));
    EXPECT_FALSE(variables.contains("ups.mfr"));
    EXPECT_TRUE(variables.contains("battery.charge"));
    // The station's own lower limit still goes over the serial link.
    EXPECT_EQ(attrInt32(stationStateAt(scenario, 0).attributes.value(19)), 20);
}

TEST(StationState, AttributesWithMainsCutAndDerivedTotals)
{
    const Scenario scenario = parsed(baseScenario());
    const AttrParaMap mains = stationStateAt(scenario, 0).attributes;
    EXPECT_EQ(attrFloat(mains.value(9)), 300.0f);
    EXPECT_EQ(attrFloat(mains.value(8)), 312.5f);
    EXPECT_EQ(attrFloat(mains.value(7)), 105.0f);
    EXPECT_EQ(attrInt32(mains.value(4)), 26);
    EXPECT_EQ(attrInt32(mains.value(19)), 20);
    EXPECT_EQ(mains.value(22), "SN00001234");
    EXPECT_EQ(mains.value(25).toHex(), "04030201");
    EXPECT_FALSE(mains.contains(5));

    const AttrParaMap battery = stationStateAt(scenario, 50).attributes;
    EXPECT_EQ(attrFloat(battery.value(9)), 0.0f);
    EXPECT_EQ(attrFloat(battery.value(8)), 12.5f);
    EXPECT_EQ(attrFloat(battery.value(7)), 155.0f);
}

class StationResponderTest : public ::testing::Test
{
protected:
    StationResponder responder{parsed(baseScenario())};

    // The payload of the single reply to a request, after checking its addressing.
    QByteArray ask(TQCommonCmd request, double elapsed = 0)
    {
        const QList<QByteArray> replies =
            responder.respond(TQCommonCmd(request.getRawData()), elapsed);
        if (replies.size() != 1)
            return "no reply";
        const TQCommonCmd reply(replies[0]);
        EXPECT_TRUE(TQCommand::isStationReply(reply));
        EXPECT_EQ(reply.getCmdId(), request.getCmdId());
        return reply.getPayload();
    }
};

TEST_F(StationResponderTest, AnswersAttributeQueries)
{
    const AttrParaMap all = parseAttrEntries(ask(TQCommand::allAttrParaRequest(), 50));
    EXPECT_EQ(all, stationStateAt(parsed(baseScenario()), 50).attributes);
    EXPECT_EQ(ask(TQCommand::attrParaRequest(22)).toHex(),
              "0116000a" + QByteArray("SN00001234").toHex());
    EXPECT_EQ(ask(TQCommand::attrParaRequest(6)).toHex(), "00");
    const auto ids = TQCommand::parseAttrIdList(ask(TQCommand::attrIdListRequest()));
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(ids->size(), 25);
}

TEST_F(StationResponderTest, KeepsWrittenSettings)
{
    EXPECT_EQ(ask(*TQCommand::attrWriteRequest(2, QByteArray::fromHex("01000000"))).toHex(), "01");
    EXPECT_EQ(parseAttrEntries(ask(TQCommand::allAttrParaRequest())).value(2).toHex(), "01000000");
    const TQCommonCmd readOnly(0x66, 4, 0x22, 2, 1, 1, 3, QByteArray::fromHex("04000101"), 0x0D, 0,
                               0xFF, 0xFF);
    EXPECT_EQ(ask(readOnly).toHex(), "00");
}

TEST_F(StationResponderTest, RunsTheSelfTestAsATrackedCommand)
{
    const auto accepted =
        TQCommand::parseAttrCmdReply(ask(*TQCommand::attrWriteRequest(1, {}), 10));
    ASSERT_TRUE(accepted.has_value());
    EXPECT_EQ(accepted->attrId, 1);
    const uint8_t tracking = accepted->value;
    EXPECT_NE(tracking, 0);

    const auto state = [&](uint8_t id, double elapsed) {
        return ask(TQCommand::attrCmdExecResRequest(1, id), elapsed).toHex();
    };
    EXPECT_EQ(state(tracking, 12), "01010001");
    EXPECT_EQ(state(tracking, 15), "01010004"); // the scenario's self-test fails after 5 s
    EXPECT_EQ(state(uint8_t(tracking + 1), 15).left(2), "00");
    EXPECT_EQ(ask(*TQCommand::attrWriteRequest(1, {}), 20).toHex().right(2),
              QByteArray::number(tracking + 1, 16).rightJustified(2, '0'));
}

TEST(StationResponder, LosesTheRepliesOfTheCommandTheScenarioNames)
{
    QJsonObject json = baseScenario();
    json.insert("dropRepliesTo", 5);
    StationResponder responder(parsed(json));
    const auto received = [](const TQCommonCmd &request) {
        return TQCommonCmd(request.getRawData());
    };
    EXPECT_TRUE(responder.respond(received(*TQCommand::attrWriteRequest(1, {})), 10).isEmpty());
    // The station started the self-test all the same.
    const QList<QByteArray> state =
        responder.respond(received(TQCommand::attrCmdExecResRequest(1, 1)), 12);
    ASSERT_EQ(state.size(), 1);
    EXPECT_EQ(TQCommonCmd(state[0]).getPayload().toHex(), "01010001");
}

TEST_F(StationResponderTest, IgnoresFramesNotMeantForIt)
{
    const TQCommonCmd reply(0x66, 2, 2, 0x22, 1, 1, 3, {}, 0x0E, 0, 0xFF, 0xFF);
    const TQCommonCmd otherSet(0x65, 2, 0x22, 2, 1, 1, 3, {}, 0x0D, 0, 0xFF, 0xFF);
    const TQCommonCmd command7(0x66, 7, 0x22, 2, 1, 1, 3, {}, 0x0D, 0, 0xFF, 0xFF);
    for (const TQCommonCmd &frame : {reply, otherSet, command7})
        EXPECT_TRUE(responder.respond(TQCommonCmd(frame.getRawData()), 0).isEmpty());
}

} // namespace
