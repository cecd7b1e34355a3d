#include "crc.h"
#include "tqcommoncmd.h"
#include "tqframe.h"

#include <gtest/gtest.h>

namespace {

const uint8_t *bytes(const QByteArray &array)
{
    return reinterpret_cast<const uint8_t *>(array.constData());
}

TQCommonCmd build(uint8_t version, uint8_t flags, const QByteArray &payload, uint8_t xorKey = 0)
{
    return TQCommonCmd(0x66, 3, 0x22, 2, 1, 1, version, payload, flags, xorKey, 0xFF, 0xFF);
}

uint8_t flagsWith(uint8_t checkType, uint8_t encryptType = 0)
{
    return static_cast<uint8_t>(0x01 | (checkType << 2) | (encryptType << 5));
}

TEST(Crc, CheckValuesOfTheStandardParameterSets)
{
    const QByteArray digits("123456789");
    EXPECT_EQ(crc8(bytes(digits), digits.size()), 0xF4);
    EXPECT_EQ(crc16(bytes(digits), digits.size()), 0xBB3D);
    EXPECT_EQ(crc8(nullptr, 0), 0);
    EXPECT_EQ(crc16(nullptr, 0), 0);
}

TEST(TQCommonCmd, EncodesTheLongHeaderLayout)
{
    TQCommonCmd cmd = build(3, 0x0D, QByteArray::fromHex("1600"));
    const QByteArray frame = cmd.getRawData();
    ASSERT_EQ(frame.size(), 2 + 20);
    EXPECT_EQ(frame.left(4).toHex(), "aa030200");
    EXPECT_EQ(bytes(frame)[4], crc8(bytes(frame), 4));
    EXPECT_EQ(bytes(frame)[5], 0x0D);
    EXPECT_EQ(TQFrame::readLe32(bytes(frame) + 6), cmd.getSeq());
    EXPECT_EQ(frame.mid(10).toHex(),
              QByteArray("ffff220201016603") + "1600" + frame.right(2).toHex());
    EXPECT_EQ(TQFrame::readLe16(bytes(frame) + 20), crc16(bytes(frame), 20));
    EXPECT_EQ(cmd.encode(), frame);
}

TEST(TQCommonCmd, ShortHeaderPutsCommandBytesAtOffset14)
{
    const QByteArray frame = build(0x12, flagsWith(3), "xy").getRawData();
    ASSERT_EQ(frame.size(), 2 + 18);
    EXPECT_EQ(frame.mid(12, 6).toHex(), "220266037879");
}

TEST(TQCommonCmd, EveryCheckTypeItBuildsPassesTheCheck)
{
    for (uint8_t type = 0; type < 4; ++type) {
        const QByteArray frame = build(3, flagsWith(type), "payload").getRawData();
        EXPECT_TRUE(TQFrame::isCheckValid(bytes(frame), frame.size())) << int(type);
    }
    const QByteArray crc8Frame = build(3, flagsWith(2), "p").getRawData();
    EXPECT_EQ(crc8Frame.back(), '\0');
    const QByteArray noCheck = build(3, flagsWith(0), "p").getRawData();
    EXPECT_EQ(noCheck.right(2).toHex(), "bbbb");
}

TEST(TQCommonCmd, CheckRulesOfTheReceiver)
{
    QByteArray noCheck = build(3, flagsWith(0), "p").getRawData();
    noCheck[noCheck.size() - 2] = 0x12; // only the last byte counts
    EXPECT_TRUE(TQFrame::isCheckValid(bytes(noCheck), noCheck.size()));

    for (uint8_t type = 1; type < 4; ++type) {
        QByteArray frame = build(3, flagsWith(type), "payload").getRawData();
        frame[20] = static_cast<char>(frame[20] ^ 0x01);
        EXPECT_FALSE(TQFrame::isCheckValid(bytes(frame), frame.size())) << int(type);
    }
    for (uint8_t type = 4; type < 8; ++type) {
        const QByteArray frame = build(3, flagsWith(type), "payload").getRawData();
        EXPECT_EQ(frame.right(2).toHex(), "0000");
        EXPECT_FALSE(TQFrame::isCheckValid(bytes(frame), frame.size())) << int(type);
    }
}

TEST(TQCommonCmd, DecodesEveryFieldOfABuiltFrame)
{
    TQCommonCmd sent(0x66, 5, 2, 0x22, 1, 1, 3, "abc", 0x0F, 0, 0x12, 0x34);
    const TQCommonCmd received(sent.getRawData());
    ASSERT_TRUE(received.isDecoded());
    EXPECT_EQ(received.getVersion(), 3);
    EXPECT_EQ(received.getSeq(), sent.getSeq());
    EXPECT_EQ(received.getSrc(), 2);
    EXPECT_EQ(received.getDest(), 0x22);
    EXPECT_EQ(received.getDSrc(), 1);
    EXPECT_EQ(received.getDDest(), 1);
    EXPECT_EQ(received.getCmdSet(), 0x66);
    EXPECT_EQ(received.getCmdId(), 5);
    EXPECT_EQ(received.getDataLen(), 3);
    EXPECT_EQ(received.getAux(), 0x1234);
    EXPECT_EQ(received.getFlags(), 0x0F);
    EXPECT_TRUE(received.isAck());
    EXPECT_EQ(received.checkType(), 3);
    EXPECT_EQ(received.getHeadCheck(), static_cast<uint8_t>(sent.getRawData()[4]));
    EXPECT_EQ(received.getCheckValue(), TQFrame::readLe16(bytes(sent.getRawData()) + 21));
    EXPECT_EQ(received.getPayload(), "abc");
}

TEST(TQCommonCmd, EncryptionTypeOneXorsThePayloadWithTheLowSeqByte)
{
    const QByteArray plain = QByteArray::fromHex("00015aff");
    TQCommonCmd sent = build(3, flagsWith(3, 1), plain, 0x00);
    const char key = static_cast<char>(sent.getSeq() & 0xFF);
    QByteArray expected = plain;
    for (char &c : expected)
        c = static_cast<char>(c ^ key);
    EXPECT_EQ(TQCommonCmd(sent.getRawData()).getPayload(), expected);

    TQCommonCmd keyed = build(3, flagsWith(3, 1), plain, 0x5A);
    EXPECT_EQ(keyed.getRawData().mid(18, 4).toHex(), "5a5b00a5");

    for (uint8_t encryption : {2, 3}) {
        TQCommonCmd other = build(3, flagsWith(3, encryption), plain, 0x5A);
        EXPECT_EQ(TQCommonCmd(other.getRawData()).getPayload(), plain) << int(encryption);
    }
}

TEST(TQCommonCmd, UnknownVersionEncodesToNothing)
{
    TQCommonCmd cmd = build(4, flagsWith(3), "abc");
    EXPECT_TRUE(cmd.getRawData().isEmpty());
    EXPECT_TRUE(cmd.encode().isEmpty());
}

TEST(TQCommonCmd, TooShortFramesFailToDecode)
{
    const QByteArray longFrame = build(3, flagsWith(3), {}).getRawData();
    const QByteArray shortFrame = build(2, flagsWith(3), {}).getRawData();
    EXPECT_TRUE(TQCommonCmd(longFrame).isDecoded());
    EXPECT_TRUE(TQCommonCmd(shortFrame).isDecoded());
    EXPECT_FALSE(TQCommonCmd(longFrame.left(19)).isDecoded());
    EXPECT_FALSE(TQCommonCmd(shortFrame.left(17)).isDecoded());
    EXPECT_FALSE(TQCommonCmd(QByteArray::fromHex("aa")).isDecoded());
    const TQCommonCmd unknown(QByteArray::fromHex("aa0400000000000000000000000000000000000000"));
    EXPECT_FALSE(unknown.isDecoded());
    EXPECT_EQ(unknown.getPayload(), QByteArray());
}

TEST(TQCommonCmd, ConsecutiveCommandsCarryConsecutiveSeq)
{
    const TQCommonCmd first = build(3, flagsWith(3), {});
    const TQCommonCmd second = build(3, flagsWith(3), {});
    EXPECT_EQ(second.getSeq(), first.getSeq() + 1);
}

TEST(TQCommonCmd, CopyRedecodesTheFrameAndKeepsOrigin)
{
    TQCommonCmd received(build(3, flagsWith(3), "data").getRawData());
    received.setIsSend(true);
    const TQCommonCmd copy = received;
    EXPECT_EQ(copy.getRawData(), received.getRawData());
    EXPECT_EQ(copy.getPayload(), "data");
    EXPECT_EQ(copy.getSeq(), received.getSeq());
    EXPECT_TRUE(copy.getIsSend());
    EXPECT_EQ(copy.getTimestamp(), received.getTimestamp());

    TQCommonCmd assigned;
    assigned = received;
    EXPECT_EQ(assigned.getPayload(), "data");
    EXPECT_TRUE(assigned.getIsSend());
}

} // namespace
