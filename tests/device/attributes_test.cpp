#include "tqattrtable.h"
#include "tqattrvalue.h"
#include "tqcommands.h"
#include "tqframe.h"

#include <gtest/gtest.h>

namespace {

struct WalkCase
{
    const char *name;
    QByteArray payloadHex;
    AttrParaMap expected;
};

TEST(AttrEntries, WalkOfReplyPayloads)
{
    const QList<WalkCase> cases = {
        {"two floats",
         "01070004 0000c842 08000400000000",
         {{7, QByteArray::fromHex("0000c842")}, {8, QByteArray::fromHex("00000000")}}},
        {"status only", "01", {}},
        {"empty payload", "", {}},
        {"status not 1", "0207000105", {}},
        {"length past the end keeps earlier entries", "0107000105 0800 09 01", {{7, "\x05"}}},
        {"length of 0x80 ends the walk", "0107000105 0800 80 01", {{7, "\x05"}}},
        {"fewer than three bytes left", "0107000105 0800", {{7, "\x05"}}},
        {"id with a high low byte", "0185000105", {{0x85, "\x05"}}},
        {"later entry replaces earlier", "0107000101 07000102", {{7, "\x02"}}},
        {"empty value", "011600 00", {{22, ""}}},
    };
    for (const WalkCase &test : cases) {
        const QByteArray payload =
            QByteArray::fromHex(QByteArray(test.payloadHex).replace(' ', ""));
        EXPECT_EQ(parseAttrEntries(payload), test.expected) << test.name;
    }
    EXPECT_EQ(attrFloat(QByteArray::fromHex("0000c842")), 100.0f);
}

TEST(AttrValue, FourByteLittleEndianValuesAndShortOnes)
{
    EXPECT_EQ(attrInt32(QByteArray::fromHex("141a0000")), 0x1A14);
    EXPECT_EQ(attrInt32(QByteArray::fromHex("feffffff99")), -2);
    EXPECT_EQ(attrInt32(QByteArray::fromHex("141a00")), std::nullopt);
    EXPECT_EQ(attrFloat(QByteArray::fromHex("0000")), std::nullopt);
    EXPECT_EQ(attrFloat(encodeAttrFloat(-12.5f)), -12.5f);
    EXPECT_EQ(encodeAttrInt32(1530).toHex(), "fa050000");
}

TEST(AttrTable, LookUpByIdIncludingTheZeroRow)
{
    const TQAttr *serial = findAttr(22);
    ASSERT_NE(serial, nullptr);
    EXPECT_STREQ(serial->name, "device.serial");
    EXPECT_EQ(serial->type, AttrText);
    EXPECT_EQ(findAttr(1)->access, AttrExecute);
    EXPECT_EQ(findAttr(2)->access, AttrSet);
    EXPECT_STREQ(findAttr(25)->name, "device.ems.version");
    const TQAttr *zero = findAttr(0);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(zero->name, nullptr);
    EXPECT_EQ(zero->access, AttrAccessNone);
    EXPECT_EQ(findAttr(26), nullptr);
}

TEST(Requests, AddressingAndFlags)
{
    const TQCommonCmd list = TQCommand::attrIdListRequest();
    const TQCommonCmd all = TQCommand::allAttrParaRequest();
    const TQCommonCmd one = TQCommand::attrParaRequest(22);
    const TQCommonCmd state = TQCommand::attrCmdExecResRequest(1, 0x2A);
    for (const TQCommonCmd *cmd : {&list, &all, &one, &state}) {
        const TQCommonCmd decoded(cmd->getRawData());
        EXPECT_EQ(decoded.getVersion(), 3);
        EXPECT_EQ(decoded.getSrc(), 0x22);
        EXPECT_EQ(decoded.getDest(), 2);
        EXPECT_EQ(decoded.getDSrc(), 1);
        EXPECT_EQ(decoded.getDDest(), 1);
        EXPECT_EQ(decoded.getCmdSet(), 0x66);
        EXPECT_EQ(decoded.getAux(), 0xFFFF);
        EXPECT_FALSE(decoded.isAck());
        const auto *raw = reinterpret_cast<const uint8_t *>(cmd->getRawData().constData());
        EXPECT_TRUE(TQFrame::isCheckValid(raw, cmd->getRawData().size()));
    }
    EXPECT_EQ(list.getFlags(), 0x2D);
    EXPECT_EQ(all.getFlags(), 0x2D);
    EXPECT_EQ(all.getCmdId(), 2);
    EXPECT_EQ(one.getFlags(), 0x0D);
    EXPECT_EQ(one.getCmdId(), 3);
    EXPECT_EQ(one.getPayload().toHex(), "1600");
    EXPECT_EQ(state.getCmdId(), 6);
    EXPECT_EQ(state.getPayload().toHex(), "01002a");
}

TEST(Requests, ValueWritesFollowTheAccessKind)
{
    const auto test = TQCommand::attrWriteRequest(1, {});
    ASSERT_TRUE(test.has_value());
    EXPECT_EQ(test->getCmdId(), 5);
    EXPECT_EQ(test->getPayload().toHex(), "010000");

    const auto set = TQCommand::attrWriteRequest(2, QByteArray::fromHex("01000000"));
    ASSERT_TRUE(set.has_value());
    EXPECT_EQ(set->getCmdId(), 4);
    EXPECT_EQ(set->getPayload().toHex(), "02000401000000");

    const auto longValue = TQCommand::attrWriteRequest(2, QByteArray(300, 'v'));
    ASSERT_TRUE(longValue.has_value());
    EXPECT_EQ(longValue->getPayload().size(), 3 + 255);
    EXPECT_EQ(static_cast<uint8_t>(longValue->getPayload()[2]), 255);

    EXPECT_FALSE(TQCommand::attrWriteRequest(4, QByteArray(4, '\0')).has_value());
    EXPECT_FALSE(TQCommand::attrWriteRequest(0, {}).has_value());
    EXPECT_FALSE(TQCommand::attrWriteRequest(99, {}).has_value());
}

TEST(Replies, OnlyTheStationsRepliesToThisProgramCount)
{
    struct Case
    {
        const char *name;
        uint8_t flags, src, dest, dSrc, dDest, cmdSet;
        bool accepted;
    };
    const QList<Case> cases = {
        {"station reply", 0x0E, 2, 0x22, 1, 1, 0x66, true},
        {"no reply flag", 0x0C, 2, 0x22, 1, 1, 0x66, false},
        {"source 3", 0x0E, 3, 0x22, 1, 1, 0x66, false},
        {"other destination", 0x0E, 2, 0x23, 1, 1, 0x66, false},
        {"secondary source 2", 0x0E, 2, 0x22, 2, 1, 0x66, false},
        {"secondary destination 0", 0x0E, 2, 0x22, 1, 0, 0x66, false},
        {"other command set", 0x0E, 2, 0x22, 1, 1, 0x65, false},
    };
    for (const Case &c : cases) {
        const TQCommonCmd cmd(c.cmdSet, 2, c.src, c.dest, c.dSrc, c.dDest, 3, "\x01", c.flags, 0,
                              0xFF, 0xFF);
        EXPECT_EQ(TQCommand::isStationReply(TQCommonCmd(cmd.getRawData())), c.accepted) << c.name;
    }
}

TEST(Replies, ExecutionRepliesAndIdList)
{
    const auto accepted = TQCommand::parseAttrCmdReply(QByteArray::fromHex("0101002a"));
    ASSERT_TRUE(accepted.has_value());
    EXPECT_EQ(accepted->attrId, 1);
    EXPECT_EQ(accepted->value, 0x2A);
    EXPECT_FALSE(TQCommand::parseAttrCmdReply(QByteArray::fromHex("0201002a")).has_value());
    EXPECT_FALSE(TQCommand::parseAttrCmdReply(QByteArray::fromHex("010100")).has_value());

    const auto ids = TQCommand::parseAttrIdList(QByteArray::fromHex("010300 0100 0200 07"));
    ASSERT_TRUE(ids.has_value());
    EXPECT_EQ(*ids, (QList<uint16_t>{1, 2}));
    EXPECT_FALSE(TQCommand::parseAttrIdList(QByteArray::fromHex("0100")).has_value());
    EXPECT_FALSE(TQCommand::parseAttrIdList(QByteArray::fromHex("000000")).has_value());
}

} // namespace
